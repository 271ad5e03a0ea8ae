#include "console/net/rtt_probe_schedule.h"

#include <algorithm>

namespace quarn::console {

RttProbeSchedule::RttProbeSchedule(std::vector<IpAddress> targets, const Options& options,
                                   Clock::time_point start)
    : options_(options), start_(start) {
    std::sort(targets.begin(), targets.end());
    targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
    for (const IpAddress& address : targets) {
        Target target;
        target.address = address;
        target.nextLoaded = start + options.loadStartsIn;
        targets_.push_back(target);
    }
}

bool RttProbeSchedule::IdleOpen(const Target& target, Clock::time_point now) const {
    return target.idleSent < options_.idleProbes && now < start_ + options_.idleWindow;
}

void RttProbeSchedule::ExpireProbe(Target& target, Clock::time_point now) const {
    if (target.sentAt && now - *target.sentAt >= options_.timeout) {
        ++(target.sentIdle ? target.record.idleLost : target.record.loadedLost);
        target.sentAt.reset();
    }
}

std::vector<IpAddress> RttProbeSchedule::Due(Clock::time_point now) {
    std::vector<IpAddress> due;
    for (Target& target : targets_) {
        ExpireProbe(target, now);
        if (target.sentAt) {
            continue;
        }
        if (IdleOpen(target, now)) {
            ++target.idleSent;
            target.sentIdle = true;
        } else if (now >= target.nextLoaded) {
            ++target.loadedSent;
            target.sentIdle = false;
            // From the send, not the schedule: a late probe never makes the next one early.
            target.nextLoaded = now + options_.period;
        } else {
            continue;
        }
        target.sentAt = now;
        due.push_back(target.address);
    }
    return due;
}

bool RttProbeSchedule::Reply(const IpAddress& source, Clock::time_point now) {
    for (Target& target : targets_) {
        if (target.address != source) {
            continue;
        }
        ExpireProbe(target, now);
        if (!target.sentAt) {
            return false;  // a second reply to one probe, or one after its time-out
        }
        const double ms = std::chrono::duration<double, std::milli>(now - *target.sentAt).count();
        (target.sentIdle ? target.record.idleMs : target.record.loadedMs).push_back(ms);
        target.record.lastMs = ms;
        target.sentAt.reset();
        return true;
    }
    return false;
}

RttProbeSchedule::Clock::time_point RttProbeSchedule::NextEvent(Clock::time_point now) const {
    Clock::time_point next = Clock::time_point::max();
    for (const Target& target : targets_) {
        if (target.sentAt) {
            next = std::min(next, *target.sentAt + options_.timeout);
        } else if (IdleOpen(target, now)) {
            next = std::min(next, now);
        } else {
            next = std::min(next, target.nextLoaded);
        }
    }
    return next;
}

const RttProbeSchedule::Target* RttProbeSchedule::Find(const IpAddress& address) const {
    const auto found = std::find_if(targets_.begin(), targets_.end(),
                                    [&](const Target& t) { return t.address == address; });
    return found == targets_.end() ? nullptr : &*found;
}

std::optional<RttRecord> RttProbeSchedule::Record(const IpAddress& target,
                                                  bool withLoadedSamples) const {
    const Target* found = Find(target);
    if (!found) {
        return std::nullopt;
    }
    if (withLoadedSamples) {
        return found->record;
    }
    RttRecord brief;
    brief.idleMs = found->record.idleMs;
    brief.idleLost = found->record.idleLost;
    brief.loadedLost = found->record.loadedLost;
    brief.lastMs = found->record.lastMs;
    return brief;
}

int RttProbeSchedule::Sent(const IpAddress& target) const {
    const Target* found = Find(target);
    return found ? found->idleSent + found->loadedSent : 0;
}

}  // namespace quarn::console
