// SPDX-License-Identifier: MIT
#include "Archive.h"

#include <QString>
#include <pugixml.hpp>

#include <tsacore/config/Localizer.h>

namespace tsaui::ui::archive {
namespace {
PropList ParseList(const pugi::xml_node& list);

Prop ParseValue(const pugi::xml_node& node) {
    Prop prop;
    const std::string name = node.name();
    if (name == "int") {
        prop.kind = Prop::kInt;
        prop.integer = node.text().as_llong();
    } else if (name == "float" || name == "double") {
        prop.kind = Prop::kFloat;
        prop.number = node.text().as_double();
    } else if (name == "true" || name == "false") {
        prop.kind = Prop::kBool;
        prop.flag = name == "true";
    } else if (name == "ustring" || name == "string") {
        prop.kind = Prop::kText;
        prop.text = node.text().get();
    } else if (name == "array") {
        prop.kind = Prop::kArray;
        for (const auto& item : node.children())
            if (std::string(item.name()) != "array.type")
                prop.items.push_back(item.text().get());
    } else if (name == "prop.list") {
        prop.kind = Prop::kList;
        prop.list = ParseList(node);
    }
    return prop;
}

PropList ParseList(const pugi::xml_node& list) {
    PropList props;
    for (const auto& pair : list.children("prop.pair")) {
        const std::string key = pair.child("key").text().get();
        for (const auto& value : pair.children())
            if (value.type() == pugi::node_element && std::string(value.name()) != "key") {
                props.emplace(key, ParseValue(value));
                break;
            }
    }
    return props;
}
} // namespace

PropList ParseArchive(const std::string& text) {
    pugi::xml_document document;
    return document.load_buffer(text.data(), text.size()) ? ParseList(document.child("prop.map").child("prop.list"))
                                                          : PropList{};
}

ArchivedNode ReadNode(const PropList& node) {
    ArchivedNode result;
    if (auto it = node.find("adapter"); it != node.end())
        result.adapter = it->second.text;
    auto sections = node.find("sections");
    if (sections == node.end())
        return result;
    for (const auto& [name, section] : sections->second.list) {
        if (name.rfind("section-", 0) != 0)
            continue;
        for (const auto& [key, value] : section.list) {
            if (key == "children") {
                for (int i = 0;; ++i) {
                    auto child = value.list.find("child-" + std::to_string(i));
                    if (child == value.list.end())
                        break;
                    result.children.push_back(&child->second.list);
                }
            } else {
                result.props.emplace(key, value);
            }
        }
    }
    return result;
}

const Prop* Get(const PropList& props, const char* key) {
    auto it = props.find(key);
    return it == props.end() ? nullptr : &it->second;
}

double GetNumber(const PropList& props, const char* key, double fallback) {
    const Prop* p = Get(props, key);
    if (!p)
        return fallback;
    if (p->kind == Prop::kInt)
        return static_cast<double>(p->integer);
    return p->kind == Prop::kFloat ? p->number : fallback;
}

bool GetBool(const PropList& props, const char* key, bool fallback) {
    const Prop* p = Get(props, key);
    return p && p->kind == Prop::kBool ? p->flag : fallback;
}

int32_t GetChoice(const PropList& props, const char* key, int32_t fallback) {
    const Prop* p = Get(props, key);
    return p ? static_cast<int32_t>(GetNumber(p->list, "selected", fallback)) : fallback;
}

std::string GetText(const PropList& props, const char* key) {
    const Prop* p = Get(props, key);
    return p ? p->text : std::string();
}

UI_Rect ReadBounds(const PropList& props) {
    const Prop* b = Get(props, "bounds");
    if (!b)
        return {};
    return UI_Rect{static_cast<float>(GetNumber(b->list, "left", 0)), static_cast<float>(GetNumber(b->list, "top", 0)),
                   static_cast<float>(GetNumber(b->list, "width", 0)), static_cast<float>(GetNumber(b->list, "height", 0))};
}

UI_AutoLayout ReadAutoLayout(const PropList& props) {
    const Prop* constraints = Get(props, "Constraints");
    return UI_AutoLayout{GetBool(props, "AutoLayout", false),
                         GetBool(props, "AutoLayout_Horizontal", false),
                         GetBool(props, "AutoLayout_MaintainMargins", false),
                         GetBool(props, "AutoLayout_ScaleChildren", false),
                         GetBool(props, "LayoutChildren", false),
                         static_cast<uint32_t>(GetNumber(constraints ? constraints->list : PropList{}, "constraints", 0))};
}

tsacore::UString LocalizeArchived(const std::string& text) {
    if (text.size() > 6 && text.front() == '(' && text.back() == ')' && text.compare(1, 4, "$$$/") == 0)
        return tsacore::config::Localize(text.substr(1, text.size() - 2).c_str());
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toStdU16String();
}
} // namespace tsaui::ui::archive
