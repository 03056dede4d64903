#include "framework/controls.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>
#include <atomic>
#include <QToolTip>
#include <QHelpEvent>
#include <algorithm>
#include <qdrawutil.h>

#include "framework/desktop.h"
#include "framework/dialog.h"

namespace fw {

namespace {

bool IsEnterKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

// A push button; `pressOnEnter` makes Enter press it while it has the focus.
class PushButton : public QPushButton {
public:
    PushButton(const QString& text, bool pressOnEnter, QWidget* parent)
        : QPushButton(text, parent) {
        setAutoDefault(pressOnEnter);
    }
};

class MenuButtonWidget : public PushButton {
public:
    MenuButtonWidget(const QString& text, Dialog* dialog, int id)
        : PushButton(text, true, dialog) {
        connect(this, &QPushButton::clicked, this, [this, dialog, id] {
            if (!m_menu) return;
            m_result = 0;
            QAction* chosen = m_menu->exec(mapToGlobal(rect().bottomLeft()));
            m_result = chosen ? chosen->data().toInt() : 0;
            if (m_result != 0) dialog->SendNotify(Notify::Clicked, id);
        });
    }
    void SetMenu(const MenuTemplate* menu) {
        delete m_menu;
        m_menu = nullptr;
        if (!menu) return;
        m_menu = new QMenu(QString::fromUtf8(menu->title), this);
        for (const auto& [command, text] : menu->items)
            m_menu->addAction(QString::fromUtf8(text))->setData(command);
    }
    int m_result = 0;

private:
    QMenu* m_menu = nullptr;
};

// A web link: text in the link colour, opened on a click or when Enter is
// released on it; the click goes no further than the link itself.
class LinkWidget : public QPushButton {
public:
    LinkWidget(const QString& text, QWidget* parent) : QPushButton(text, parent) {
        setAutoDefault(false);
        setFlat(true);
        setCursor(Qt::PointingHandCursor);
        connect(this, &QPushButton::clicked, this, [this] { Open(); });
    }
    QString m_prefix, m_url;
    bool m_drawFocus = true;
    bool m_visited = false;

    void Open() {
        m_visited = true;
        update();
        CurrentDesktop().OpenUrl(m_prefix + m_url);
    }
    QSize sizeHint() const override {
        QFontMetrics metrics(font());
        return {metrics.horizontalAdvance(text()) + 4, metrics.height() + 2};
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (IsEnterKey(event->key())) {
            m_enterDown = !event->isAutoRepeat() || m_enterDown;
            event->accept();
        } else if (event->key() == Qt::Key_Space) {
            event->accept();
        } else {
            QPushButton::keyPressEvent(event);
        }
    }
    void keyReleaseEvent(QKeyEvent* event) override {
        if (IsEnterKey(event->key()) && !event->isAutoRepeat()) {
            const bool wasDown = m_enterDown;
            m_enterDown = false;
            event->accept();
            if (wasDown) Open();
        } else if (event->key() == Qt::Key_Space) {
            event->accept();
        } else {
            QPushButton::keyReleaseEvent(event);
        }
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QFont underlined = font();
        underlined.setUnderline(true);
        painter.setFont(underlined);
        painter.setPen(m_visited ? QColor(0x80, 0x00, 0x80) : QColor(0x00, 0x33, 0xcc));
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, text());
        if (m_drawFocus && hasFocus()) {
            painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
            painter.drawRect(rect().adjusted(0, 0, -1, -1));
        }
    }

private:
    bool m_enterDown = false;
};

// Check boxes and radio buttons paint their background over a group box's
// frame line, so they keep to the width of their own text.
template <class Base>
class FitToText : public Base {
public:
    using Base::Base;

protected:
    void changeEvent(QEvent* event) override {
        Base::changeEvent(event);
        if (event->type() == QEvent::FontChange) this->resize(this->sizeHint().width(), this->height());
    }
};

// Each radio button is its own group: a click checks it and never unchecks it;
// the handlers keep pairs exclusive.
class RadioWidget : public FitToText<QRadioButton> {
public:
    RadioWidget(const QString& text, QWidget* parent) : FitToText(text, parent) {
        setAutoExclusive(false);
    }

protected:
    void nextCheckState() override {
        if (!isChecked()) setChecked(true);
    }
};

// A progress bar that also takes positions left for it by other threads: it
// looks for one at every repaint tick while shown, and before it is hidden.
class ProgressWidget : public QProgressBar {
public:
    explicit ProgressWidget(QWidget* parent) : QProgressBar(parent) {
        m_tick.setInterval(33);
        QObject::connect(&m_tick, &QTimer::timeout, this, [this] { TakePosted(); });
    }
    // Any thread.
    void Post(int32_t position) { m_posted.store(position, std::memory_order_release); }
    void DropPosted() { m_posted.store(kNone, std::memory_order_release); }
    // GUI thread: shows the position left last, if any.
    void TakePosted() {
        const int64_t position = m_posted.exchange(kNone, std::memory_order_acq_rel);
        if (position != kNone) setValue(static_cast<int32_t>(position));
    }

protected:
    void showEvent(QShowEvent* event) override {
        QProgressBar::showEvent(event);
        m_tick.start();
    }
    void hideEvent(QHideEvent* event) override {
        m_tick.stop();
        TakePosted();
        QProgressBar::hideEvent(event);
    }

private:
    static constexpr int64_t kNone = INT64_MIN;
    std::atomic<int64_t> m_posted{kNone};
    QTimer m_tick;
};

// A group box drawn as the templates mean it: the frame's top line runs through
// the middle of the title's line, also when there is no title, and the title
// stands on that line over a strip of the dialog's background.
class GroupBoxWidget : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QFontMetrics metrics(font());
        const QRect frame = rect().adjusted(0, metrics.height() / 2 - 1, 0, 0);
        qDrawShadeRect(&painter, frame, palette(), true, 1, 0);  // etched
        if (title().isEmpty()) return;
        const QRect label(7, 0, metrics.horizontalAdvance(title()), metrics.height());
        painter.fillRect(label.adjusted(-1, 0, 1, 0), palette().window());
        style()->drawItemText(&painter, label, Qt::AlignLeft | Qt::AlignTop, palette(), isEnabled(), title(),
                              QPalette::WindowText);
    }
};

// Text that does not fit `width` pixels cut as the platform's lists cut it: as
// much of its beginning as fits, followed by "...".
QString CutToFit(const QString& text, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(text) <= width) return text;
    const QString dots = QStringLiteral("...");
    qsizetype low = 0, high = text.size() - 1;
    while (low < high) {
        const qsizetype middle = (low + high + 1) / 2;
        if (metrics.horizontalAdvance(text.left(middle) + dots) <= width) low = middle;
        else high = middle - 1;
    }
    if (low > 0 && text[low - 1].isHighSurrogate()) --low;
    return text.left(low) + dots;
}

// Cells that do not fit end with "..."; the same room decides whether a cell's
// text is cut, for the info tip too. The room leaves out the check box and
// the margins in front of the text.
class CellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The text the cell at `index` shows; `cell` is the view's option for it.
    QString ShownText(QStyleOptionViewItem cell, const QModelIndex& index) const {
        initStyleOption(&cell, index);
        return Cut(cell);
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        cell.text = Cut(cell);
        cell.textElideMode = Qt::ElideNone;
        StyleOf(cell)->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);
    }

private:
    static QStyle* StyleOf(const QStyleOptionViewItem& cell) {
        return cell.widget ? cell.widget->style() : QApplication::style();
    }
    static QString Cut(const QStyleOptionViewItem& cell) {
        QStyle* style = StyleOf(cell);
        const QRect room = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, cell.widget);
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, cell.widget) + 1;
        return CutToFit(cell.text, QFontMetrics(cell.font), room.width() - 2 * margin);
    }
};

// Headings that do not fit end with "..." as the cells do.
class HeaderStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        if (element == CE_HeaderLabel) {
            if (const auto* header = qstyleoption_cast<const QStyleOptionHeaderV2*>(option)) {
                QStyleOptionHeaderV2 label = *header;
                label.text = CutToFit(label.text, label.fontMetrics, label.rect.width());
                label.textElideMode = Qt::ElideNone;
                QProxyStyle::drawControl(element, &label, painter, widget);
                return;
            }
            if (const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option)) {
                QStyleOptionHeader label = *header;
                label.text = CutToFit(label.text, label.fontMetrics, label.rect.width());
                QProxyStyle::drawControl(element, &label, painter, widget);
                return;
            }
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

// A list view in report mode: one tab stop (Tab leaves it, the arrow keys move
// within it), columns the user widens by dragging the dividers in the header,
// and a horizontal scroll bar, by pixels, when the columns are wider than the list.
class ListWidget : public QTableWidget {
public:
    ListWidget(Dialog* dialog, int id, bool singleSelection) : QTableWidget(dialog), m_dialog(dialog), m_id(id) {
        setTabKeyNavigation(false);
        setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
        horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
        horizontalHeader()->setStretchLastSection(false);
        m_cells = new CellDelegate(this);
        setItemDelegate(m_cells);
        auto* headerStyle = new HeaderStyle(QStyleFactory::create(QApplication::style()->name()));
        headerStyle->setParent(this);
        horizontalHeader()->setStyle(headerStyle);
        setSelectionBehavior(QAbstractItemView::SelectItems);
        setSelectionMode(singleSelection ? QAbstractItemView::SingleSelection
                                         : QAbstractItemView::ExtendedSelection);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        setShowGrid(false);
        setWordWrap(false);
        setTextElideMode(Qt::ElideRight);
        verticalHeader()->hide();
        horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        horizontalHeader()->setHighlightSections(false);
        horizontalHeader()->setSectionsClickable(true);
        verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 4);
        connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
                [this] { m_dialog->SendNotify(Notify::HeaderClick, 0); });
    }
    ~ListWidget() override { horizontalHeader()->setStyle(nullptr); }
    int m_selectionMark = -1;
    unsigned m_extendedStyle = 0;

    bool FullRowSelect() const { return m_extendedStyle & ListCtrl::kFullRowSelect; }
    // A row counts as selected when its first cell is, with or without full-row select.
    bool RowSelected(int row) const { return selectionModel()->isSelected(model()->index(row, 0)); }

protected:
    // The selection mark follows the user's own selecting, as an anchor does.
    void mousePressEvent(QMouseEvent* event) override {
        QTableWidget::mousePressEvent(event);
        if (currentRow() >= 0) m_selectionMark = currentRow();
    }
    // Every click in the list reaches the dialog, also one on empty space.
    void mouseReleaseEvent(QMouseEvent* event) override {
        QTableWidget::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton) m_dialog->SendNotify(Notify::ListClick, m_id);
    }
    void keyPressEvent(QKeyEvent* event) override {
        QTableWidget::keyPressEvent(event);
        if (currentRow() >= 0) m_selectionMark = currentRow();
    }
    // With info tips, a cell whose text does not fit shows the whole text on hover.
    bool viewportEvent(QEvent* event) override {
        if (event->type() != QEvent::ToolTip || !(m_extendedStyle & ListCtrl::kInfoTip))
            return QTableWidget::viewportEvent(event);
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString text = index.data().toString();
        QStyleOptionViewItem cell;
        initViewItemOption(&cell);
        cell.rect = visualRect(index);
        if (index.isValid() && m_cells->ShownText(cell, index) != text)
            QToolTip::showText(help->globalPos(), text, viewport(), cell.rect);
        else
            QToolTip::hideText();
        return true;
    }

private:
    Dialog* m_dialog;
    int m_id;
    CellDelegate* m_cells;
};

}  // namespace

QWidget* CreateControl(const ControlTemplate& item, Dialog* dialog) {
    const QString text = QString::fromUtf8(item.text ? item.text : "");
    const int id = item.id;
    auto notifyClicks = [dialog, id](QAbstractButton* button) {
        QObject::connect(button, &QAbstractButton::clicked, dialog,
                         [dialog, id] { dialog->SendNotify(Notify::Clicked, id); });
        return button;
    };
    QWidget* widget = nullptr;
    switch (item.kind) {
        case Kind::Button:
        case Kind::ImageButton: {
            auto* button = new PushButton(text, item.kind == Kind::ImageButton, dialog);
            button->setDefault(item.style & kDefault);
            widget = notifyClicks(button);
            break;
        }
        case Kind::MenuButton:
            widget = new MenuButtonWidget(text, dialog, id);
            break;
        case Kind::Link:
            widget = new LinkWidget(text, dialog);
            break;
        case Kind::Radio:
            widget = notifyClicks(new RadioWidget(text, dialog));
            break;
        case Kind::CheckBox:
            widget = notifyClicks(new FitToText<QCheckBox>(text, dialog));
            break;
        case Kind::GroupBox:
            widget = new GroupBoxWidget(text, dialog);
            break;
        case Kind::Static: {
            auto* label = new QLabel(text, dialog);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            widget = label;
            break;
        }
        case Kind::Picture: {
            auto* label = new QLabel(dialog);
            label->setPixmap(QPixmap(text));
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            widget = label;
            break;
        }
        case Kind::Edit: {
            auto* edit = new QLineEdit(text, dialog);
            edit->setReadOnly(item.style & kReadOnly);
            edit->setFrame(item.style & kBorder);
            widget = edit;
            break;
        }
        case Kind::List: {
            widget = new ListWidget(dialog, id, item.style & kSingleSel);
            break;
        }
        case Kind::Progress: {
            auto* bar = new ProgressWidget(dialog);
            bar->setTextVisible(false);
            bar->setRange(0, 100);
            bar->setValue(0);
            widget = bar;
            break;
        }
    }
    const bool focusable = item.kind != Kind::GroupBox && item.kind != Kind::Static &&
                           item.kind != Kind::Picture && item.kind != Kind::Progress;
    // Group boxes, labels and pictures let the mouse through, to the controls
    // they frame or, where there are none, to the dialog (which is dragged).
    if (item.kind == Kind::GroupBox || item.kind == Kind::Static || item.kind == Kind::Picture)
        widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    widget->setFocusPolicy(!focusable              ? Qt::NoFocus
                           : (item.style & kTabStop) ? Qt::StrongFocus
                                                     : Qt::ClickFocus);
    return widget;
}

// ---- handles ----

template <class F>
auto Wnd::Call(F&& fn) const {
    return m_dialog->Send(std::forward<F>(fn));
}

namespace {
template <class T>
T* As(QWidget* widget) {
    return dynamic_cast<T*>(widget);
}
}  // namespace

void Wnd::Attach(Dialog& dialog, int id) {
    m_dialog = &dialog;
    m_id = id;
}

QWidget* Wnd::Widget() const { return m_dialog ? m_dialog->Item(m_id) : nullptr; }

void Wnd::EnableWindow(bool enable) {
    Call([&] { if (auto* w = Widget()) w->setEnabled(enable); });
}
void Wnd::ShowWindow(bool show) {
    Call([&] { if (auto* w = Widget()) w->setVisible(show); });
}
void Wnd::SetWindowText(const QString& text) {
    Call([&] {
        QWidget* w = Widget();
        if (auto* button = As<QAbstractButton>(w)) button->setText(text);
        else if (auto* label = As<QLabel>(w)) label->setText(text);
        else if (auto* edit = As<QLineEdit>(w)) edit->setText(text);
        else if (auto* group = As<QGroupBox>(w)) group->setTitle(text);
        else if (w) w->setWindowTitle(text);
    });
}
QString Wnd::GetWindowText() const {
    return Call([&] {
        QWidget* w = Widget();
        if (auto* button = As<QAbstractButton>(w)) return button->text();
        if (auto* label = As<QLabel>(w)) return label->text();
        if (auto* edit = As<QLineEdit>(w)) return edit->text();
        if (auto* group = As<QGroupBox>(w)) return group->title();
        return w ? w->windowTitle() : QString();
    });
}
void Wnd::SetFont(const QFont& font) {
    Call([&] { if (auto* w = Widget()) w->setFont(font); });
}
void Wnd::SetFocus() {
    Call([&] { if (auto* w = Widget()) w->setFocus(Qt::OtherFocusReason); });
}

void Button::SetCheck(int state) {
    Call([&] { if (auto* b = As<QAbstractButton>(Widget())) b->setChecked(state == BST_CHECKED); });
}
int Button::GetCheck() const {
    return Call([&] {
        auto* b = As<QAbstractButton>(Widget());
        return b && b->isChecked() ? BST_CHECKED : BST_UNCHECKED;
    });
}
void Button::SetTooltip(const QString& text) {
    Call([&] { if (auto* w = Widget()) w->setToolTip(text); });
}
void Button::SetImage(const QString& resource) {
    Call([&] {
        auto* b = As<QAbstractButton>(Widget());
        const QPixmap image(resource);
        if (!b || image.isNull()) return;
        b->setIcon(QIcon(image));
        b->setIconSize(image.size());
    });
}

void MenuButton::SetMenu(const MenuTemplate* menu) {
    Call([&] { if (auto* b = As<MenuButtonWidget>(Widget())) b->SetMenu(menu); });
}
int MenuButton::MenuResult() const {
    return Call([&] { auto* b = As<MenuButtonWidget>(Widget()); return b ? b->m_result : 0; });
}

void LinkCtrl::SetURLPrefix(const QString& prefix) {
    Call([&] { if (auto* l = As<LinkWidget>(Widget())) l->m_prefix = prefix; });
}
void LinkCtrl::SetURL(const QString& url) {
    Call([&] { if (auto* l = As<LinkWidget>(Widget())) l->m_url = url; });
}
QString LinkCtrl::Address() const {
    return Call([&] {
        auto* l = As<LinkWidget>(Widget());
        return l ? l->m_prefix + l->m_url : QString();
    });
}
void LinkCtrl::SizeToContent() {
    Call([&] { if (auto* l = As<LinkWidget>(Widget())) l->resize(l->sizeHint()); });
}
void LinkCtrl::SetDrawFocus(bool draw) {
    Call([&] { if (auto* l = As<LinkWidget>(Widget())) l->m_drawFocus = draw; });
}

#define LIST_CALL(fallback, body)                                        \
    Call([&] {                                                           \
        auto* list = As<ListWidget>(Widget());                           \
        if (!list) return fallback;                                      \
        body                                                             \
    })

int ListCtrl::InsertColumn(int column, const QString& title, int width) {
    return LIST_CALL(-1, {
        column = std::clamp(column, 0, list->columnCount());
        list->insertColumn(column);
        list->setHorizontalHeaderItem(column, new QTableWidgetItem(title));
        if (width >= 0) list->setColumnWidth(column, width);
        return column;
    });
}
void ListCtrl::SetColumnWidth(int column, int width) {
    Call([&] { if (auto* list = As<ListWidget>(Widget())) list->setColumnWidth(column, width); });
}
int ListCtrl::GetColumnWidth(int column) const {
    return LIST_CALL(0, { return list->columnWidth(column); });
}
int ListCtrl::GetColumnCount() const {
    return LIST_CALL(0, { return list->columnCount(); });
}
QString ListCtrl::GetColumnTitle(int column) const {
    return LIST_CALL(QString(), {
        auto* header = list->horizontalHeaderItem(column);
        return header ? header->text() : QString();
    });
}
unsigned ListCtrl::GetExtendedStyle() const {
    return LIST_CALL(0u, { return list->m_extendedStyle; });
}
void ListCtrl::SetExtendedStyle(unsigned style) {
    Call([&] {
        auto* list = As<ListWidget>(Widget());
        if (!list) return;
        list->m_extendedStyle = style;
        list->setShowGrid(style & kGridLines);
        list->setSelectionBehavior((style & kFullRowSelect) ? QAbstractItemView::SelectRows
                                                           : QAbstractItemView::SelectItems);
        for (int row = 0; row < list->rowCount(); ++row) {
            QTableWidgetItem* item = list->item(row, 0);
            if (!item) continue;
            if (style & kCheckBoxes) {
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                if (item->data(Qt::CheckStateRole).isNull()) item->setCheckState(Qt::Unchecked);
            } else {
                item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
                item->setData(Qt::CheckStateRole, QVariant());
            }
        }
    });
}
int ListCtrl::GetItemCount() const {
    return LIST_CALL(0, { return list->rowCount(); });
}
int ListCtrl::InsertItem(int row, const QString& text) {
    return LIST_CALL(-1, {
        row = std::clamp(row, 0, list->rowCount());
        list->insertRow(row);
        auto* item = new QTableWidgetItem(text);
        if (list->m_extendedStyle & kCheckBoxes) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
        list->setItem(row, 0, item);
        if (list->m_selectionMark >= row) ++list->m_selectionMark;
        return row;
    });
}
void ListCtrl::SetItemText(int row, int column, const QString& text) {
    Call([&] {
        auto* list = As<ListWidget>(Widget());
        if (!list || row < 0 || row >= list->rowCount() || column < 0 ||
            column >= list->columnCount())
            return;
        if (QTableWidgetItem* item = list->item(row, column)) item->setText(text);
        else list->setItem(row, column, new QTableWidgetItem(text));
    });
}
QString ListCtrl::GetItemText(int row, int column) const {
    return LIST_CALL(QString(), {
        QTableWidgetItem* item = list->item(row, column);
        return item ? item->text() : QString();
    });
}
void ListCtrl::DeleteItem(int row) {
    Call([&] {
        auto* list = As<ListWidget>(Widget());
        if (!list || row < 0 || row >= list->rowCount()) return;
        list->removeRow(row);
        if (list->m_selectionMark == row) list->m_selectionMark = -1;
        else if (list->m_selectionMark > row) --list->m_selectionMark;
    });
}
void ListCtrl::DeleteAllItems() {
    Call([&] {
        auto* list = As<ListWidget>(Widget());
        if (!list) return;
        list->setRowCount(0);
        list->m_selectionMark = -1;
    });
}
bool ListCtrl::IsSelected(int row) const {
    return LIST_CALL(false, {
        return row >= 0 && row < list->rowCount() && list->RowSelected(row);
    });
}
void ListCtrl::SetSelected(int row, bool selected) {
    Call([&] {
        auto* list = As<ListWidget>(Widget());
        if (!list || row < 0 || row >= list->rowCount()) return;
        const QModelIndex index = list->model()->index(row, 0);
        QItemSelectionModel::SelectionFlags flags =
            selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect;
        if (list->FullRowSelect()) flags |= QItemSelectionModel::Rows;
        list->selectionModel()->select(index, flags);
    });
}
std::vector<int> ListCtrl::GetSelectedRows() const {
    return LIST_CALL(std::vector<int>(), {
        std::vector<int> rows;
        for (int row = 0; row < list->rowCount(); ++row)
            if (list->RowSelected(row)) rows.push_back(row);
        return rows;
    });
}
int ListCtrl::GetSelectionMark() const {
    return LIST_CALL(-1, { return list->m_selectionMark; });
}
void ListCtrl::SetSelectionMark(int row) {
    Call([&] { if (auto* list = As<ListWidget>(Widget())) list->m_selectionMark = row; });
}
int ListCtrl::GetFocusedRow() const {
    return LIST_CALL(-1, { return list->currentRow(); });
}
bool ListCtrl::GetCheck(int row) const {
    return LIST_CALL(false, {
        QTableWidgetItem* item = list->item(row, 0);
        return item && item->checkState() == Qt::Checked;
    });
}
void ListCtrl::SetCheck(int row, bool checked) {
    Call([&] {
        auto* list = As<ListWidget>(Widget());
        QTableWidgetItem* item = list ? list->item(row, 0) : nullptr;
        if (item && (list->m_extendedStyle & kCheckBoxes))
            item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    });
}
void ListCtrl::RedrawItems(int first, int last) {
    Call([&] {
        auto* list = As<ListWidget>(Widget());
        if (!list) return;
        for (int row = std::max(first, 0); row <= last && row < list->rowCount(); ++row)
            list->viewport()->update(list->visualRect(list->model()->index(row, 0))
                                         .united(list->visualRect(list->model()->index(
                                             row, std::max(list->columnCount() - 1, 0)))));
    });
}

#undef LIST_CALL

void ProgressCtrl::SetRange32(int32_t lower, int32_t upper) {
    Call([&] {
        if (auto* bar = As<ProgressWidget>(Widget())) {
            bar->TakePosted();
            bar->setRange(lower, upper);
        }
    });
}
void ProgressCtrl::GetRange(int32_t& lower, int32_t& upper) const {
    const auto range = Call([&] {
        auto* bar = As<ProgressWidget>(Widget());
        return bar ? std::pair<int32_t, int32_t>(bar->minimum(), bar->maximum())
                   : std::pair<int32_t, int32_t>(0, 0);
    });
    lower = range.first;
    upper = range.second;
}
void ProgressCtrl::SetPos(int32_t position) {
    if (auto* bar = As<ProgressWidget>(Widget())) bar->DropPosted();
    Call([&] { if (auto* bar = As<ProgressWidget>(Widget())) bar->setValue(position); });
}
int32_t ProgressCtrl::GetPos() const {
    return Call([&] {
        auto* bar = As<ProgressWidget>(Widget());
        if (!bar) return 0;
        bar->TakePosted();
        return bar->value();
    });
}
void ProgressCtrl::PostPos(int32_t position) {
    if (auto* bar = As<ProgressWidget>(Widget())) bar->Post(position);
}

}  // namespace fw
