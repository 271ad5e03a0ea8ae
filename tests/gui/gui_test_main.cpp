#include <QApplication>
#include <gtest/gtest.h>

#ifdef QUARN_TSAN_SUPPRESSIONS
// ThreadSanitizer reads these before main, however the test is started.
extern "C" const char* __tsan_default_options() {
    return "suppressions=" QUARN_TSAN_SUPPRESSIONS;
}
#endif

// Window tests need a QApplication for the whole run; the offscreen platform keeps them
// independent of a display.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
