#include "tests/download/scripted_frontend.h"

#include <gtest/gtest.h>

namespace zklog::test {

void ScriptedFrontend::set_status_text(std::string_view text) {
    status = text;
    if (status.starts_with("Lendo registro ")) {
        progress_texts.push_back(status);
    }
}

void ScriptedFrontend::show_message(std::string_view text, download::MessageIcon icon,
                                    std::string_view title) {
    messages.push_back({std::string(text), icon, std::string(title), status, start_enabled});
}

bool ScriptedFrontend::yield() {
    const int number = static_cast<int>(start_enabled_at_yields.size());
    start_enabled_at_yields.push_back(start_enabled);
    return on_yield ? on_yield(*this, number) : true;
}

const ShownMessage& ScriptedFrontend::only_message() const {
    EXPECT_EQ(messages.size(), 1u);
    static const ShownMessage kNone{"(no message)", download::MessageIcon::Information, "", "",
                                    false};
    return messages.empty() ? kNone : messages.back();
}

} // namespace zklog::test
