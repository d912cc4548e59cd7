// SPDX-License-Identifier: MIT
// The node archive: a prop.map XML text read into nested property lists, and the readers of
// the values a node keeps in it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <tsacore/String.h>
#include <tsaui/ui/UI_Node.h>

namespace tsaui::ui::archive {
// One value of a prop.list.
struct Prop {
    enum Kind { kNone, kInt, kFloat, kBool, kText, kArray, kList } kind = kNone;
    int64_t integer = 0;
    double number = 0.0;
    bool flag = false;
    std::string text; // ustring and string, UTF-8
    std::vector<std::string> items;
    std::map<std::string, Prop> list;
};
using PropList = std::map<std::string, Prop>;

// The top-level list of an archive text; empty when the text is not a prop.map.
PropList ParseArchive(const std::string& text);

// A node's properties of every section, merged, and its children; the pointers point into
// the list read from, which must outlive this.
struct ArchivedNode {
    std::string adapter;
    PropList props;
    std::vector<const PropList*> children;
};
ArchivedNode ReadNode(const PropList& node);

const Prop* Get(const PropList& props, const char* key);
double GetNumber(const PropList& props, const char* key, double fallback);
bool GetBool(const PropList& props, const char* key, bool fallback);
int32_t GetChoice(const PropList& props, const char* key, int32_t fallback);
std::string GetText(const PropList& props, const char* key);
UI_Rect ReadBounds(const PropList& props);
UI_AutoLayout ReadAutoLayout(const PropList& props);

// "($$$/key=default)" becomes the localised text; anything else stays as written.
tsacore::UString LocalizeArchived(const std::string& text);
} // namespace tsaui::ui::archive
