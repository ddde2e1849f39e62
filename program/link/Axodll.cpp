#include "program/link/Axodll.h"
#include "platform/Ui.h"
#include "program/link/LinkLibrary.h"

#include <cstring>

CAxoDll::CAxoDll(bool createSuspended)
    : reply{}, replyLength(0), sendLength(0), busy(false), threaded(true) {
    if (!createSuspended) {
        busy = true;
        if (!Resume())
            busy = false;
    }
}

// The worker goes first: it may still be finishing an exchange on the fields below.
CAxoDll::~CAxoDll() {
    Stop();
}

std::string CAxoDll::SendRecv(int32_t sendLength, int32_t replyLength, const std::string& command) {
    // Only one exchange may be in flight; a call made from a message handled while one
    // waits is refused without touching it.
    bool idle = false;
    if (linkStopped || !busy.compare_exchange_strong(idle, true))
        return std::string();
    this->command = command;
    this->sendLength = sendLength;
    this->replyLength = replyLength;
    if (!LengthsFit()) {
        std::memset(reply, 0, sizeof reply);
        busy = false;
        return std::string();
    }
    if (threaded) {
        if (!Resume()) {
            // Never hand back the previous exchange's reply as this one's.
            std::memset(reply, 0, sizeof reply);
            busy = false;
            return std::string();
        }
        // The worker wakes this wait when it clears `busy`; a wake that comes before the
        // wait begins is kept, so none is missed and nothing spins.
        while (busy)
            platform::CurrentUi().WaitForMessages();
    } else {
        Exchange();
        busy = false;
    }
    return ReplyText();
}

void CAxoDll::Execute() {
    do {
        Exchange();
        busy = false;
        platform::CurrentUi().Wake();
    } while (Suspend());
}

// The library reads `sendLength` bytes of the command and writes `replyLength` + 1 bytes
// of reply; both must stay inside the buffers, and the reply must keep its terminating
// zero. Lengths the library itself rejects still go to it.
bool CAxoDll::LengthsFit() const {
    return static_cast<int64_t>(sendLength) <= static_cast<int64_t>(command.size()) &&
           replyLength <= ReplySize - 2;
}

void CAxoDll::Exchange() {
    std::memset(reply, 0, sizeof reply);
    if (LinkLibrary.KestravionExtSR)
        LinkLibrary.KestravionExtSR(sendLength, replyLength, command.c_str(), reply);
}

std::string CAxoDll::ReplyText() const {
    return std::string(reply, strnlen(reply, sizeof reply));
}

bool CAxoDll::Close() {
    // The worker may be inside the library: the bridge is closed only once it is out.
    if (busy)
        return false;
    CloseLink();
    return true;
}
