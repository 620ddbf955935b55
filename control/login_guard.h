#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

// Shuts out an address that keeps guessing: after five wrong or missing tokens within a
// minute, every request from it is refused for a minute, right token or not. One thread
// only (the server's).
class LoginGuard {
public:
    using Clock = std::chrono::steady_clock;

    bool LockedOut(const std::string& address, Clock::time_point now);
    void Failed(const std::string& address, Clock::time_point now);

private:
    static constexpr int kFailures = 5;
    static constexpr std::chrono::seconds kWindow{60};

    void Forget(Clock::time_point now);

    std::map<std::string, std::vector<Clock::time_point>> m_failures;
    std::map<std::string, Clock::time_point> m_lockedUntil;
};
