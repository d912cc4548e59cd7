// Placeholder until the reader lands.
#pragma once

namespace sova::mpg123 {
class Reader {
public:
    virtual ~Reader() = default;
};
} // namespace sova::mpg123
