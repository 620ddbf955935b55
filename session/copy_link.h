#pragma once

#include <cstdint>
#include <functional>
#include <utility>

// How a copy reaches the other copies: the broadcast Post(command, argument) and the
// arbitration of copy numbers (app's bus link on the session bus).
class CopyLink {
public:
    enum class Claim { Granted, Taken, Failed };

    virtual ~CopyLink() = default;
    virtual bool IsConnected() const = 0;
    virtual void Post(int32_t command, int64_t argument) = 0;
    // Asks for the number `instanceNumber` (0-based) without queueing.
    virtual Claim ClaimCopyNumber(int32_t instanceNumber) = 0;
    // Gives the claimed number back, for a copy that ends while its process lives on.
    virtual void ReleaseCopyNumber() = 0;
    virtual bool HoldsCopyNumber() const = 0;

    // Posts from anyone go to `handler`.
    void SetPostHandler(std::function<void(int32_t, int64_t)> handler) {
        m_postHandler = std::move(handler);
    }

protected:
    void Deliver(int32_t command, int64_t argument) {
        if (m_postHandler) {
            m_postHandler(command, argument);
        }
    }

private:
    std::function<void(int32_t, int64_t)> m_postHandler;
};
