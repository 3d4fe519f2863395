// GridFontObject: one of a grid's own two font objects (Font and ColumnHeaderFont). Changing
// any of its properties tells the grid at once, so the grid redraws with the new font without
// a Refresh; a GridFont taken from it is a value copy that later changes do not touch (what a
// dialog keeps to put the font back). No Qt.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "views/grid_look.h"

namespace views {

class GridFontObject {
public:
    // changed runs after every change of a property.
    explicit GridFontObject(std::function<void()> changed) : m_changed(std::move(changed)) {}
    GridFontObject(const GridFontObject&) = delete;
    GridFontObject& operator=(const GridFontObject&) = delete;

    const std::string& Name() const { return m_value.Name; }
    void SetName(std::string name) { Set(m_value.Name, std::move(name)); }
    double Size() const { return m_value.Size; }  // points
    void SetSize(double points) { Set(m_value.Size, points); }
    bool Bold() const { return m_value.Bold; }
    void SetBold(bool on) { Set(m_value.Bold, on); }
    bool Italic() const { return m_value.Italic; }
    void SetItalic(bool on) { Set(m_value.Italic, on); }
    bool Underline() const { return m_value.Underline; }
    void SetUnderline(bool on) { Set(m_value.Underline, on); }
    bool Strikethrough() const { return m_value.Strikethrough; }
    void SetStrikethrough(bool on) { Set(m_value.Strikethrough, on); }

    // The font as a value.
    const GridFont& Value() const { return m_value; }
    operator const GridFont&() const { return m_value; }
    // Takes every property of a font at once (one notice).
    GridFontObject& operator=(const GridFont& font) {
        if (m_value == font) return *this;
        m_value = font;
        m_changed();
        return *this;
    }
    friend bool operator==(const GridFontObject& a, const GridFont& b) { return a.m_value == b; }

private:
    template <typename T>
    void Set(T& member, T value) {
        if (member == value) return;
        member = std::move(value);
        m_changed();
    }

    GridFont m_value;
    std::function<void()> m_changed;
};

}  // namespace views
