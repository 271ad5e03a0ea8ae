#include "widgets/fonts.h"

#include <QStringList>
#include <mutex>

namespace quarn::widgets {

namespace {

void InstallSubstitutes() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Faces with Hangul first (NanumBarunGothic's small sizes draw a clean full stop,
        // NanumGothic's embedded 12-pixel strike does not); DejaVu for anything missing.
        QFont::insertSubstitutions(QStringLiteral("gulim"), {QStringLiteral("NanumGothic"),
                                                             QStringLiteral("NanumBarunGothic"),
                                                             QStringLiteral("DejaVu Sans")});
        QFont::insertSubstitutions(QStringLiteral("tahoma"), {QStringLiteral("NanumGothic"),
                                                              QStringLiteral("NanumBarunGothic"),
                                                              QStringLiteral("DejaVu Sans")});
    });
}

QFont Make(const char* family, int pixelHeight) {
    InstallSubstitutes();
    QFont font;
    // The list is tried in order; the substitutes above serve QFont("gulim") elsewhere.
    font.setFamilies({QString::fromLatin1(family), QStringLiteral("NanumBarunGothic"),
                      QStringLiteral("NanumGothic"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(pixelHeight > 0 ? pixelHeight : 12);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

}  // namespace

QFont GulimFont(int pixelHeight) {
    return Make("gulim", pixelHeight);
}

QFont TahomaFont(int pixelHeight) {
    return Make("tahoma", pixelHeight);
}

QFont MonoFont(int pixelHeight) {
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans Mono"), QStringLiteral("monospace")});
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(pixelHeight > 0 ? pixelHeight : 12);
    return font;
}

}  // namespace quarn::widgets
