// SPDX-License-Identifier: MIT
// Widens an archived layout so that no label is cut, the way an auto-layout engine sizes a
// column to its widest label; every other archived position stays.
#pragma once

namespace tsaui::ui {
class UI_Node;

// Call once, after the tree is built with its widgets and before its first layout. A column
// (children sharing their archived left edge and width) grows by what its widest label lacks;
// columns to its right move by as much; a container grows with its content, and a vertical
// auto layout that scales its children widens them all with it.
void FitLabels(UI_Node& root);
} // namespace tsaui::ui
