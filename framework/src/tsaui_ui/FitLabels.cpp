// SPDX-License-Identifier: MIT
#include "FitLabels.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include <QFontMetricsF>
#include <QLabel>

#include <tsaui/controls/UI_StaticText.h>

#include "QtSupport.h"

namespace tsaui::ui {
namespace {
using tsaui::controls::UI_StaticText;

// The width a label needs to show its whole text at its own font size.
float TextWidth(const UI_StaticText& text) {
    auto* label = qobject_cast<QLabel*>(text.GetWidget());
    if (!label)
        return 0.0f;
    QFont font = label->font();
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(text.GetFontSize()))));
    // Two pixels over the exact advance: the label keeps one free, and scaled screens round.
    return static_cast<float>(std::ceil(QFontMetricsF(font).horizontalAdvance(qt::ToQString(text.GetValue())))) +
           2.0f;
}

bool StacksVertically(const UI_Node& node, bool* scalesChildren = nullptr) {
    const auto* sub = dynamic_cast<const UI_SubView*>(&node);
    const bool stacks = sub && sub->GetAutoLayout().autoLayout && !sub->GetAutoLayout().horizontal;
    if (scalesChildren)
        *scalesChildren = stacks && sub->GetAutoLayout().scaleChildren;
    return stacks;
}

struct Column {
    float left = 0.0f;
    float right = 0.0f;
    float grow = 0.0f;  // what its widest member lacks
    float shift = 0.0f; // how far the growth of columns on its left pushes it
    std::vector<UI_Node*> members;
};

class Fitter {
public:
    // The width the node must gain; remembered for Apply.
    float Measure(UI_Node& node) {
        float need = 0.0f;
        if (const auto* text = dynamic_cast<const UI_StaticText*>(&node)) {
            need = std::max(0.0f, TextWidth(*text) - node.GetBounds().width);
        } else if (StacksVertically(node)) {
            for (const auto& child : node.GetChildren())
                need = std::max(need, Measure(*child));
        } else {
            for (const Column& column : Columns(node, true))
                need = std::max(need, column.shift + column.grow);
        }
        need_[&node] = need;
        return need;
    }

    // Widens the node by `extra` (at least its need) and moves it right by `shift`.
    void Apply(UI_Node& node, float extra, float shift) {
        if (extra > 0.0f || shift > 0.0f) {
            UI_Rect bounds = node.GetBounds();
            bounds.left += shift;
            bounds.width += extra;
            node.SetBounds(bounds);
        }
        bool scales = false;
        if (StacksVertically(node, &scales)) {
            for (const auto& child : node.GetChildren())
                Apply(*child, scales ? extra : need_[child.get()], 0.0f);
            return;
        }
        for (const Column& column : Columns(node, false))
            for (UI_Node* member : column.members)
                Apply(*member, column.grow, column.shift);
    }

private:
    // The node's children gathered into columns, left to right, each with its growth and shift.
    std::vector<Column> Columns(const UI_Node& node, bool measure) {
        std::vector<Column> columns;
        for (const auto& child : node.GetChildren()) {
            const UI_Rect b = child->GetBounds();
            auto it = std::find_if(columns.begin(), columns.end(), [&](const Column& c) {
                return c.left == b.left && c.right == b.left + b.width;
            });
            if (it == columns.end())
                it = columns.insert(columns.end(), Column{b.left, b.left + b.width, 0.0f, 0.0f, {}});
            it->members.push_back(child.get());
            it->grow = std::max(it->grow, measure ? Measure(*child) : need_[child.get()]);
        }
        std::stable_sort(columns.begin(), columns.end(),
                         [](const Column& a, const Column& b) { return a.left < b.left; });
        for (size_t i = 0; i < columns.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                if (columns[j].right <= columns[i].left)
                    columns[i].shift = std::max(columns[i].shift, columns[j].shift + columns[j].grow);
        return columns;
    }

    std::map<const UI_Node*, float> need_;
};
} // namespace

void FitLabels(UI_Node& root) {
    Fitter fitter;
    fitter.Apply(root, fitter.Measure(root), 0.0f);
}
} // namespace tsaui::ui
