// SPDX-License-Identifier: MIT
// Turns archived nodes into toolkit nodes, each backed by its Qt widget.
#pragma once

#include <memory>
#include <vector>

#include <tsaui/ui/UI_Dialog.h>

#include "Archive.h"

namespace tsaui::ui {
class NodeBuilder {
public:
    // A factory may make nodes of its own for some adapter names; null leaves all to the toolkit.
    explicit NodeBuilder(const UI_NodeFactoryRef& factory) : factory_(factory) {}
    // The node and everything below it, the widgets made as children of parentWidget.
    std::shared_ptr<UI_Node> Build(const archive::PropList& archived, QWidget* parentWidget);
    // Call once the nodes stand where they will be shown: the auto layouts take over from here.
    void Finish();
private:
    UI_NodeFactoryRef factory_;
    std::vector<UI_SubView*> subviews_; // owned by the tree built
};
} // namespace tsaui::ui
