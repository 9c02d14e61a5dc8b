#pragma once

#include "platform/ui/View.h"

#include <memory>
#include <string>

namespace pf {

class ImageView;
class Label;

enum class TableViewCellStyle { Default, Value1, Value2, Subtitle };
enum class TableViewCellSelectionStyle { None, Blue, Gray, Default };

// One row of a table. Subviews go into the content view; the plain text label, detail label
// and image view are made when first asked for. The selected background view shows behind the
// content while the cell is highlighted or selected (unless the selection style is None).
//
// A cell with a non-empty reuse identifier goes back to its table's reuse queue when it leaves
// the screen or the table reloads; `prepareForReuse` runs when it is handed out again.
class TableViewCell : public View {
public:
    explicit TableViewCell(TableViewCellStyle style = TableViewCellStyle::Default, std::string reuseIdentifier = {});

    static constexpr double DefaultWidth = 320;
    static constexpr double DefaultHeight = 44;

    TableViewCellStyle style() const { return m_style; }
    const std::string& reuseIdentifier() const { return m_reuseIdentifier; }
    // For layouts that load cells (the identifier a table files the cell under).
    void setReuseIdentifier(std::string identifier) { m_reuseIdentifier = std::move(identifier); }

    std::shared_ptr<View> contentView();
    std::shared_ptr<Label> textLabel();
    std::shared_ptr<Label> detailTextLabel();
    std::shared_ptr<ImageView> imageView();

    std::shared_ptr<View> backgroundView() const { return m_backgroundView; }
    void setBackgroundView(std::shared_ptr<View> view);
    std::shared_ptr<View> selectedBackgroundView() const { return m_selectedBackgroundView; }
    void setSelectedBackgroundView(std::shared_ptr<View> view);
    TableViewCellSelectionStyle selectionStyle() const { return m_selectionStyle; }
    void setSelectionStyle(TableViewCellSelectionStyle style) { m_selectionStyle = style; updateSelectionBackground(false); }

    bool isSelected() const { return m_selected; }
    virtual void setSelected(bool selected, bool animated = false);
    bool isHighlighted() const { return m_highlighted; }
    virtual void setHighlighted(bool highlighted, bool animated = false);

    virtual void prepareForReuse() { }

    void layoutSubviews() override;
    void dumpAttributes(DumpAttributes& attributes) const override;

private:
    void ensureContentView();
    void updateSelectionBackground(bool animated);

    TableViewCellStyle m_style;
    std::string m_reuseIdentifier;
    std::shared_ptr<View> m_contentView;
    std::shared_ptr<Label> m_textLabel;
    std::shared_ptr<Label> m_detailTextLabel;
    std::shared_ptr<ImageView> m_imageView;
    std::shared_ptr<View> m_backgroundView;
    std::shared_ptr<View> m_selectedBackgroundView;
    std::shared_ptr<View> m_defaultSelectedBackground;
    TableViewCellSelectionStyle m_selectionStyle { TableViewCellSelectionStyle::Default };
    bool m_selected { false };
    bool m_highlighted { false };
};

}
