#include "CliUi.h"

#include "platform/Clock.h"

#include <cstdio>

CCliUi::CCliUi(platform::Ui& waiter, bool drawProgress)
    : waiter_(waiter), drawProgress_(drawProgress) {}

void CCliUi::BeginProgress(const char* label) {
    label_ = label;
    startMs_ = platform::MonotonicMs();
    drawnMs_ = startMs_ - RedrawMs;
    turn_ = 0;
}

void CCliUi::EndProgress() {
    if (drawn_) {
        // Blanks over the indicator, then back to the start of the line.
        std::fprintf(stderr, "\r%60s\r", "");
        std::fflush(stderr);
    }
    drawn_ = false;
    label_ = nullptr;
}

void CCliUi::ProcessMessages() {
    if (!drawProgress_ || label_ == nullptr)
        return;
    const int64_t now = platform::MonotonicMs();
    if (now - drawnMs_ < RedrawMs)
        return;
    drawnMs_ = now;
    static const char Spinner[] = "|/-\\";
    std::fprintf(stderr, "\r%s %c %lld s", label_, Spinner[turn_++ % 4],
                 static_cast<long long>((now - startMs_) / 1000));
    std::fflush(stderr);
    drawn_ = true;
}

void CCliUi::WaitForMessages() {
    waiter_.WaitForMessages();
}

void CCliUi::Wake() {
    waiter_.Wake();
}

void CCliUi::ShowMessageBox(const std::string& text, const std::string&, platform::BoxIcon) {
    std::fprintf(stderr, "tarvelo-cli: %s\n", text.c_str());
}
