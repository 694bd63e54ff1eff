#include "app/recording_front_end.h"

#include <algorithm>

namespace vaultra::app {

void RecordingFrontEnd::Record(Kind kind, std::string text, int value) {
    events.push_back(Event{kind, std::move(text), value});
}

void RecordingFrontEnd::StatusText(const std::string& text) {
    Record(Kind::Status, text);
    if (onStatus) {
        onStatus(text);
    }
}

AbortRequest RecordingFrontEnd::PollAbort() {
    ++pollCount;
    if (quit) {
        return AbortRequest::Quit;
    }
    const AbortRequest request = onPoll ? onPoll(pollCount) : AbortRequest::None;
    if (request == AbortRequest::Quit) {
        quit = true;
    }
    return request;
}

MessageAnswer RecordingFrontEnd::MessageBox(const std::string& text, MessageButtons buttons) {
    Record(Kind::Message, text, static_cast<int>(buttons));
    if (answers.empty()) {
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

std::vector<std::string> RecordingFrontEnd::StatusTexts() const {
    std::vector<std::string> out;
    for (const auto& e : events) {
        if (e.kind == Kind::Status) {
            out.push_back(e.text);
        }
    }
    return out;
}

std::vector<std::string> RecordingFrontEnd::Messages() const {
    std::vector<std::string> out;
    for (const auto& e : events) {
        if (e.kind == Kind::Message) {
            out.push_back(e.text);
        }
    }
    return out;
}

int RecordingFrontEnd::Count(Kind kind) const {
    return static_cast<int>(
        std::count_if(events.begin(), events.end(), [kind](const Event& e) { return e.kind == kind; }));
}

bool RecordingFrontEnd::SawStatus(const std::string& text) const {
    return std::any_of(events.begin(), events.end(),
                       [&](const Event& e) { return e.kind == Kind::Status && e.text == text; });
}

}  // namespace vaultra::app
