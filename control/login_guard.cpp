#include "control/login_guard.h"

#include <algorithm>

bool LoginGuard::LockedOut(const std::string& address, Clock::time_point now) {
    Forget(now);
    return m_lockedUntil.count(address) != 0;
}

void LoginGuard::Failed(const std::string& address, Clock::time_point now) {
    Forget(now);
    std::vector<Clock::time_point>& times = m_failures[address];
    times.push_back(now);
    if (static_cast<int>(times.size()) >= kFailures) {
        m_lockedUntil[address] = now + kWindow;
        times.clear();
    }
}

// Old entries go, so that a stream of addresses cannot grow the tables without end.
void LoginGuard::Forget(Clock::time_point now) {
    for (auto it = m_failures.begin(); it != m_failures.end();) {
        std::vector<Clock::time_point>& times = it->second;
        times.erase(std::remove_if(times.begin(), times.end(),
                                   [&](Clock::time_point t) { return now - t >= kWindow; }),
                    times.end());
        it = times.empty() ? m_failures.erase(it) : std::next(it);
    }
    for (auto it = m_lockedUntil.begin(); it != m_lockedUntil.end();) {
        it = now >= it->second ? m_lockedUntil.erase(it) : std::next(it);
    }
}
