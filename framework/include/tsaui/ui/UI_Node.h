// SPDX-License-Identifier: MIT
// Nodes of the toolkit's view tree. Nodes are held through shared, reference-counted handles;
// a node built from an archive is backed by a Qt widget that its dialog owns.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <tsacore/String.h>
#include <tsaui/Export.h>

class QWidget;

namespace tsaui::ui {
struct UI_Point {
    float h = 0.0f;
    float v = 0.0f;
};

struct UI_Rect {
    float left = 0.0f;
    float top = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
};

class UI_Node;

// The generic message handed to node callbacks; controls send subclasses of it.
class TSAUI_API UI_NodeMessage {
public:
    explicit UI_NodeMessage(UI_Node& node) : node_(&node) {}
    virtual ~UI_NodeMessage();
    UI_Node& GetNode() const { return *node_; }
private:
    UI_Node* node_;
};

using UI_NodeCallback = std::function<void(const UI_NodeMessage&)>;
using UI_NodeCallbackRef = std::shared_ptr<UI_NodeCallback>;

class TSAUI_API UI_Node : public std::enable_shared_from_this<UI_Node> {
public:
    UI_Node();
    virtual ~UI_Node();
    UI_Node(const UI_Node&) = delete;
    UI_Node& operator=(const UI_Node&) = delete;

    const std::string& GetID() const { return id_; }
    void SetID(std::string id) { id_ = std::move(id); }
    // Bounds relative to the parent, in points, as laid out now.
    virtual UI_Rect GetBounds() const;
    virtual void SetBounds(const UI_Rect& bounds);
    virtual float GetWidth() const;
    virtual float GetHeight() const;
    // Changes the node's size, keeping its position.
    virtual void Resize(float width, float height);
    virtual bool IsVisible() const;
    virtual void SetVisible(bool visible);
    const tsacore::UString& GetToolTip() const { return toolTip_; }
    virtual void SetToolTip(const tsacore::UString& text);

    UI_Node* GetParent() const { return parent_; }
    const std::vector<std::shared_ptr<UI_Node>>& GetChildren() const { return children_; }
    void AddChild(const std::shared_ptr<UI_Node>& child);
    // Depth first, this node first; empty when no node has the id (an empty id matches none).
    std::shared_ptr<UI_Node> FindNodeForID(const std::string& id);

    // The widget that shows the node, null before it is built and after its dialog is gone.
    QWidget* GetWidget() const { return widget_; }
    // Widget-level set-up by the toolkit.
    void AttachWidget(QWidget* widget);
    void DetachWidgets(); // this node and all below it
    // Where children's bounds are measured from (the content area of a section, say).
    virtual QWidget* GetContentWidget() const { return widget_; }
    // Lays the children out again after one of them changed its shown size.
    virtual void LayoutChildren() {}
    // The height the node takes in its parent's layout now (a closed section only its header).
    virtual float GetLayoutHeight() const { return GetBounds().height; }

protected:
    QWidget* widget_ = nullptr;
private:
    std::string id_;
    tsacore::UString toolTip_;
    UI_Rect bounds_;
    bool visible_ = true;
    UI_Node* parent_ = nullptr;
    std::vector<std::shared_ptr<UI_Node>> children_;
};

// Layout flags of a container, as archived.
struct UI_AutoLayout {
    bool autoLayout = false;
    bool horizontal = false;
    bool maintainMargins = false;
    bool scaleChildren = false;
    bool layoutChildren = false;
    uint32_t constraints = 0;
};

class TSAUI_API UI_SubView : public UI_Node {
public:
    UI_SubView();
    ~UI_SubView() override;
    const UI_AutoLayout& GetAutoLayout() const { return layout_; }
    void SetAutoLayout(const UI_AutoLayout& layout);
    // A vertical auto layout stacks the children in archive order and keeps the gaps between
    // them, so a child that shrinks (a closed section) moves the ones below it up.
    void LayoutChildren() override;
    // Toolkit: the children now stand where the archive put them; remember the gaps.
    void KeepArchivedLayout();
private:
    UI_AutoLayout layout_;
    std::vector<float> gaps_; // archived gap above each child
    bool gapsKnown_ = false;
    bool layingOut_ = false;
};

class TSAUI_API UI_LayoutView : public UI_SubView {
public:
    ~UI_LayoutView() override;
};
} // namespace tsaui::ui
