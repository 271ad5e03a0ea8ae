#include "console/core/quality_accumulator.h"

#include <cmath>

#include "console/core/udp_report.h"

namespace quarn::console {
namespace {

// Interval starts are printed with at most four decimals.
bool SameStart(double a, double b) {
    return std::fabs(a - b) < 1e-6;
}

void AddJitter(std::optional<double>& worst, std::optional<double> jitter) {
    if (jitter && (!worst || *jitter > *worst)) {
        worst = jitter;
    }
}

}  // namespace

QualityLine QualityAccumulator::Feed(std::string_view line) {
    const std::optional<UdpReport> report = ParseUdpReport(line);
    if (!report || report->sum) {
        return QualityLine::Ignored;
    }
    const std::string stream(report->stream);
    const bool seen = streamsSeen_.count(stream) > 0;
    if (!seen && streamsSeen_.size() >= kMaxStreams) {
        return QualityLine::Ignored;  // no pair has that many streams
    }
    if (!seen) {
        streamsSeen_.insert(stream);
    }
    if (seen && report->start == 0.0) {
        return QualityLine::Ignored;  // the stream's total over the run
    }
    switch (Classify(*report)) {
        case UdpReportKind::Empty:
            return QualityLine::Empty;
        case UdpReportKind::Impossible:
            ++impossible_;
            return QualityLine::Impossible;
        case UdpReportKind::Counted:
            break;
    }
    if (open_ && !SameStart(open_->start, report->start)) {
        Close();
    }
    if (!open_) {
        open_ = QualitySecond{report->start, 0, 0, std::nullopt};
    }
    open_->lost = AddCount(open_->lost, report->lost);
    open_->total = AddCount(open_->total, report->total);
    AddJitter(open_->jitterMs, report->jitterMs);
    lost_ = AddCount(lost_, report->lost);
    total_ = AddCount(total_, report->total);
    return QualityLine::Counted;
}

void QualityAccumulator::Close() {
    TakeJitter(*open_, closedJitterSum_, closedJitterCount_, closedJitterMax_);
    seconds_.push_back(*open_);
    open_.reset();
}

void QualityAccumulator::TakeJitter(const QualitySecond& second, double& sum, int& count,
                                    std::optional<double>& worst) const {
    if (second.jitterMs) {
        sum += *second.jitterMs;
        ++count;
        AddJitter(worst, second.jitterMs);
    }
}

void QualityAccumulator::Publish(PairQuality& quality) const {
    quality.lostDatagrams = lost_;
    quality.totalDatagrams = total_;
    quality.lossPercent = LossPercentOf(lost_, total_);
    quality.impossibleReports = impossible_;
    double jitterSum = closedJitterSum_;
    int jitterCount = closedJitterCount_;
    std::optional<double> jitterMax = closedJitterMax_;
    if (open_) {
        TakeJitter(*open_, jitterSum, jitterCount, jitterMax);
    }
    quality.jitterAverageMs =
        jitterCount > 0 ? std::optional<double>(jitterSum / jitterCount) : std::nullopt;
    quality.jitterMaxMs = jitterMax;
    const QualitySecond* latest = open_ ? &*open_ : (seconds_.empty() ? nullptr : &seconds_.back());
    quality.lastLossPercent = latest ? LossPercentOf(latest->lost, latest->total) : std::nullopt;
    quality.lastJitterMs = latest ? latest->jitterMs : std::nullopt;
}

}  // namespace quarn::console
