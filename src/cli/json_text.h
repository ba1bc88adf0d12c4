#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvix::cli {

// Appends `utf8` as a JSON string, quotes included: `"` and `\` escaped, and every control
// character (U+0000..U+001F, U+007F..U+009F) as \u00XX, so that the output is plain
// printable text whatever an archive's names hold.
void AppendJsonString(std::string& out, std::string_view utf8);

// One JSON object written member by member: {"a": 1, "b": "x"}.
class JsonObject {
public:
    explicit JsonObject(std::string& out) : out_(out) { out_ += '{'; }
    void add(std::string_view key, std::uint64_t number);
    void add(std::string_view key, std::string_view utf8);
    void add(std::string_view key, const std::vector<std::string>& utf8);
    void close() { out_ += '}'; }

private:
    void key(std::string_view name);

    std::string& out_;
    bool first_ = true;
};

}  // namespace tarvix::cli
