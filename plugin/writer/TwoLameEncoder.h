// Placeholder until the writer lands.
#pragma once

namespace sova {
class TwoLameEncoder {};
} // namespace sova
