// Desktops for the benchmarks: a large chat window and a field that pastes after a delay.
#pragma once

#include <nlohmann/json.hpp>

namespace scenes {

// A chat window of about 3000 elements with a 200-row conversation; every element answers
// after latencyMs.
nlohmann::json largeChat(int latencyMs);
nlohmann::json largeChatRequest();

// An editor whose focused field pastes pasteDelayMs after Command-V.
nlohmann::json pastingField(int pasteDelayMs);

}  // namespace scenes
