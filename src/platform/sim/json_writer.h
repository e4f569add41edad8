// A compact JSON writer that appends straight to a string, for saving large desktops quickly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::sim {

class JsonWriter {
  public:
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    void key(std::string_view name);

    /// Ill-formed UTF-8 is written as U+FFFD, so the output is always valid JSON.
    void string(std::string_view text);
    void integer(std::int64_t value);
    void unsignedInteger(std::uint64_t value);
    /// A floating-point value that reads back as one (1.0 stays "1.0").
    void real(double value);
    /// A quantity such as a delay: integral values are written without a fraction.
    void quantity(double value);
    /// Milliseconds with one decimal.
    void millis(double value);
    void boolean(bool value);
    void null();

    std::string& text() { return out; }

  private:
    void separate();
    void writeString(std::string_view text);

    std::string out;
    std::vector<bool> first;
    bool afterKey = false;
};

}  // namespace platform::sim
