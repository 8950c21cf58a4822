#include "platform/ui/form_layout.h"

#include "platform/ui/controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>

#include <algorithm>

namespace {

QString Text(const char* s) { return QString::fromLatin1(s); }

QWidget* Create(const ControlLayout& c, QWidget* parent)
{
    switch (c.kind) {
    case ControlKind::ComboBox: {
        auto* w = new QComboBox(parent);
        w->setEditable(true);
        w->setInsertPolicy(QComboBox::NoInsert);
        w->setEditText(Text(c.text));
        return w;
    }
    case ControlKind::LatchButton: {
        auto* w = new QPushButton(Text(c.text), parent);
        w->setCheckable(true);
        return w;
    }
    case ControlKind::GroupBox: return new QGroupBox(Text(c.text), parent);
    case ControlKind::Button:
    case ControlKind::BitButton: return new QPushButton(Text(c.text), parent);
    case ControlKind::Edit: return new QLineEdit(Text(c.text), parent);
    case ControlKind::CheckBox: return new TCheckBox(Text(c.text), parent);
    case ControlKind::Memo: {
        auto* w = new QPlainTextEdit(parent);
        w->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        w->setFocusPolicy(Qt::ClickFocus);  // not a Tab stop
        w->setPlainText(Text(c.text));
        return w;
    }
    case ControlKind::StaticText: return CreateLabel<QLabel>(c, parent);
    case ControlKind::Label: return CreateLabel<TLabel>(c, parent);
    case ControlKind::StatusBar: return new TStatusBar(parent);
    case ControlKind::Custom:
        if (c.create)
            return c.create(c, parent);
        break;
    }
    throw std::logic_error(std::string("no way to make control ") + c.name);
}

std::string WindowName(QWidget* root)
{
    const QWidget* window = root ? root->window() : nullptr;
    return window ? window->objectName().toStdString() : std::string();
}

} // namespace

QFont DesignFont(const QString& family)
{
    // Where the design font is missing, the nearest in width, so captions fit
    // their boxes: the metric clones of Arial first, then other sans fonts.
    QStringList families{family};
    if (family == QLatin1String("MS Sans Serif"))
        families << QStringLiteral("Microsoft Sans Serif");
    if (family != QLatin1String("Arial"))
        families << QStringLiteral("Arial");
    families << QStringLiteral("Liberation Sans") << QStringLiteral("Nimbus Sans") << QStringLiteral("Helvetica");
    QFont font;
    font.setFamilies(families);
    return font;
}

QFont WindowFont()
{
    QFont font = DesignFont(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);  // character height, as the layouts were drawn
    return font;
}

void BuildControls(QWidget* client, std::span<const ControlLayout> controls)
{
    for (const ControlLayout& c : controls) {
        QWidget* parent = client;
        if (c.parent)
            parent = FindControlWidget(client, c.parent);
        QWidget* w = Create(c, parent);
        w->setObjectName(QString::fromLatin1(c.name));
        if (c.fontPx || c.bold) {
            QFont f = w->font();
            if (c.fontPx)
                f.setPixelSize(c.fontPx);
            f.setBold(c.bold);
            w->setFont(f);
        }
        w->setGeometry(c.left, c.top, c.width, c.height);
        // A label is sized to its text, in its font: the table's size is the
        // one the design font gave.
        if (auto* label = dynamic_cast<TLabel*>(w))
            label->AdjustBounds();
        if (c.font.IsSet())
            SetFontColour(w, c.font.Resolve());
        if (c.background.IsSet())
            SetBackground(w, c.background.Resolve());
        if (c.hint)
            w->setToolTip(QString::fromLatin1(c.hint));
    }
}

QWidget* FindControlWidget(QWidget* root, const char* name)
{
    if (root) {
        if (QWidget* w = root->findChild<QWidget*>(QString::fromLatin1(name)))
            return w;
    }
    throw std::logic_error("window " + WindowName(root) + " has no control " + name);
}

void ControlOfWrongClass(QWidget* root, const char* name, const char* expected)
{
    throw std::logic_error("control " + std::string(name) + " of window " + WindowName(root) + " is not a " +
                           expected);
}

void ApplyWindowLayout(QWidget* window, const WindowLayout& layout, QWidget* client)
{
    window->setWindowTitle(QString::fromLatin1(layout.caption));
    if (layout.fontPoints > 0) {
        QFont font = DesignFont(QStringLiteral("MS Sans Serif"));
        font.setPointSize(layout.fontPoints);
        window->setFont(font);
    } else {
        window->setFont(WindowFont());
    }
    if (!client)
        client = window;
    if (layout.background.IsSet()) {
        QPalette p = client->palette();
        p.setColor(QPalette::Window, layout.background.Resolve());
        client->setPalette(p);
        client->setAutoFillBackground(true);
    }
    if (layout.dialog) {
        window->setFixedSize(layout.clientSize);
        return;  // placed when shown
    }
    window->resize(layout.clientSize);
    if (client != window && window->layout()) {
        // Whatever the menu bar takes comes on top of the client area.
        window->layout()->activate();
        const QSize extra = window->size() - client->size();
        window->resize(layout.clientSize + extra);
        window->layout()->activate();
    }
    window->move(layout.position);
}

void CentreOnScreen(QWidget* window)
{
    if (QScreen* s = window->screen() ? window->screen() : QGuiApplication::primaryScreen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        window->move(frame.topLeft());
    }
}

QPoint PlaceClearOf(const QRect& keepClear, const QSize& size, const QRect& available)
{
    constexpr int kGap = 8;
    const int w = size.width();
    const int h = size.height();
    // Kept on the screen; a window larger than the screen keeps its top left there.
    auto onScreen = [&](int x, int y) {
        x = std::max(available.left(), std::min(x, available.right() + 1 - w));
        y = std::max(available.top(), std::min(y, available.bottom() + 1 - h));
        return QPoint(x, y);
    };
    const QPoint candidates[] = {
        onScreen(keepClear.right() + 1 + kGap, keepClear.top()),
        onScreen(keepClear.left() - kGap - w, keepClear.top()),
        onScreen(keepClear.left(), keepClear.bottom() + 1 + kGap),
        onScreen(keepClear.left(), keepClear.top() - kGap - h),
        onScreen(available.right() + 1 - w, available.bottom() + 1 - h),
        onScreen(available.right() + 1 - w, available.top()),
        onScreen(available.left(), available.bottom() + 1 - h),
        onScreen(available.left(), available.top()),
    };
    QPoint best = candidates[0];
    long long bestCovered = -1;
    for (const QPoint& at : candidates) {
        const QRect covered = QRect(at, size).intersected(keepClear);
        const long long area = covered.isEmpty() ? 0 : 1LL * covered.width() * covered.height();
        if (bestCovered < 0 || area < bestCovered) {
            best = at;
            bestCovered = area;
        }
    }
    return best;
}

void MoveClearOf(QWidget* window, const QWidget* other)
{
    QScreen* s = other->screen() ? other->screen() : QGuiApplication::primaryScreen();
    if (s == nullptr)
        return;
    const QSize frameExtra = other->frameGeometry().size() - other->size();
    window->move(PlaceClearOf(other->frameGeometry(), window->size() + frameExtra, s->availableGeometry()));
}

ClientArea::ClientArea(QWidget* parent) : QWidget(parent) {}

void ClientArea::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The status bar is docked to the bottom edge, over the full width.
    for (QStatusBar* bar : findChildren<QStatusBar*>(Qt::FindDirectChildrenOnly))
        bar->setGeometry(0, height() - bar->height(), width(), bar->height());
}
