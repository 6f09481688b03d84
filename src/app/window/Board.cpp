#include "app/window/Board.h"

#include "app/access/AccessibleFactory.h"
#include "app/access/Announcements.h"
#include "app/access/Announcer.h"
#include "app/access/KeyboardMenu.h"
#include "app/band/Legibility.h"
#include "app/band/TranscriptView.h"
#include "app/desktop/HeldKeys.h"
#include "app/odds/StepOddsHook.h"
#include "app/session/Session.h"
#include "app/window/ButtonGrid.h"
#include "app/window/CaptionButton.h"
#include "app/window/DesignLayout.h"
#include "app/window/IndicatorLamp.h"
#include "app/window/KarmaButton.h"
#include "app/window/MessageBar.h"
#include "app/window/Twips.h"
#include "steps/StepTable.h"
#include "text/RollText.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QSet>

#include <algorithm>
#include <utility>

namespace velmora {
namespace {

// The board's children as a person can perceive them: the hidden holder
// of the karma state is left out.
class AccessibleBoard : public AccessibleOnScreen {
public:
    explicit AccessibleBoard(QWidget* board) : AccessibleOnScreen(board, QAccessible::Client) {}

    // By the children's own extents, in the screen's pixels as they are.
    QAccessibleInterface* childAt(int x, int y) const override
    {
        if (!rect().contains(x, y)) {
            return nullptr;
        }
        for (int i = 0; i < childCount(); ++i) {
            QAccessibleInterface* found = child(i);
            if (found != nullptr && found->isValid() && found->rect().contains(x, y)) {
                return found;
            }
        }
        return nullptr;
    }

    int childCount() const override { return static_cast<int>(shown().size()); }

    QAccessibleInterface* child(int index) const override
    {
        const QList<QWidget*> children = shown();
        return index >= 0 && index < children.size() ? QAccessible::queryAccessibleInterface(children[index]) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child != nullptr ? static_cast<int>(shown().indexOf(qobject_cast<QWidget*>(child->object()))) : -1;
    }

private:
    QList<QWidget*> shown() const
    {
        QList<QWidget*> children;
        for (QObject* object : widget()->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            if (child != nullptr && !child->isWindow() && !child->isHidden()) {
                children << child;
            }
        }
        return children;
    }
};

} // namespace

Board::Board(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    installAccessibleInterface<Board, AccessibleBoard>();
    setObjectName(QStringLiteral("board"));
    // No wider than its controls: a wider window gives its room to the
    // docks beside the board, and leaves an empty surface where there are none.
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    resize(designSize());

    // First child, so every control stands above the transcript.
    m_view = new TranscriptView(session.transcript(), twipsToPixels(kTranscriptBandTwips), this);
    m_view->setGeometry(rect());
    applyTranscriptColour();

    QList<QPushButton*> buttons; // for the arrow keys
    QList<QPushButton*> stepButtons;
    // Controls are created in the design's tab order, which Qt's focus chain
    // follows; labels take no focus.
    for (const ControlDesign& design : designControls()) {
        QWidget* control = createControl(design);
        m_placed.push_back({control, design});
        switch (design.kind) {
        case ControlDesign::Kind::KarmaLabel:
            m_karmaCaption = static_cast<QLabel*>(control);
            break;
        case ControlDesign::Kind::Lamp:
            m_lamps[static_cast<std::size_t>(design.number - 1)] = static_cast<IndicatorLamp*>(control);
            break;
        case ControlDesign::Kind::StepButton:
            stepButtons << static_cast<QPushButton*>(control);
            buttons << static_cast<QPushButton*>(control);
            break;
        case ControlDesign::Kind::KarmaButton:
            buttons << static_cast<QPushButton*>(control);
            break;
        case ControlDesign::Kind::CreditLabel:
            break;
        }
    }
    // The step buttons' odds: tooltips, descriptions and the context menu
    // that opens the odds window, each computed when first asked for.
    m_odds = new StepOddsHook(
        stepButtons, [this] { return m_session.karmaLevel(); }, this);
    for (QPushButton* button : buttons) {
        button->installEventFilter(this);
    }
    m_grid = std::make_unique<ButtonGrid>(buttons);
    m_sinceStart.start();
    // Last, so that it stands outside the design's order of controls.
    m_announcer = new Announcer(this);
    m_karmaStates = new PacedUpdate([this] { reportKarmaStates(); }, this);

    connect(&session, &Session::rolled, this, &Board::rolled);
    connect(&session, &Session::karmaChanged, this, &Board::karmaChanged);
    connect(&session.keeper(), &Keeper::problem, this, &Board::tell);
    connect(&session.keeper(), &Keeper::solved, this, &Board::untell);
    connect(&session.keeper(), &Keeper::undoableChanged, this, &Board::offerUndo);
}

Board::~Board() = default;

QSize Board::designSize() { return {twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips)}; }

QSize Board::sizeHint() const { return clientSize(m_scale) + QSize(0, barHeight()); }

void Board::fitInto(const QSize& room)
{
    const QFontMetrics metrics(m_placed.front().control->font());
    const DesignScale scale = fitDesign(room,
        captionNeeds(metrics.height(), metrics.horizontalAdvance(QString::fromStdString(stepCaption(kLastStep)))));
    if (scale == m_scale) {
        return;
    }
    m_scale = scale;
    place();
    updateGeometry();
}

void Board::place()
{
    const QSize client = clientSize(m_scale);
    for (const Placed& placed : m_placed) {
        QRect at = scaled(placed.design.twips, m_scale);
        if (placed.design.kind == ControlDesign::Kind::CreditLabel) {
            // Never lower than its text: it grows upwards from the board's
            // foot; and it ends at the board's edge, as designed.
            at.setHeight(std::max(at.height(), placed.control->fontMetrics().height()));
            at.moveTop(std::min(at.top(), client.height() - at.height()));
            at.setRight(std::min(at.right(), client.width() - 1));
        }
        placed.control->setGeometry(at);
    }
    m_view->setBandWidth(
        scaled({0, 0, kTranscriptBandTwips, 0}, {m_scale.across, m_scale.down, m_scale.across}).width());
    placeMessageBar();
}

// Never squeezed: every control keeps its place and size, as fitted to the screen.
QSize Board::minimumSizeHint() const { return sizeHint(); }

QIcon Board::applicationIcon()
{
    // Raw pixels rather than PNG files: reading an image file at start-up
    // brings in Qt's whole image-reader machinery, a few per cent of the
    // program's start-up time and memory.
    QIcon icon;
    for (const int size : {16, 25, 32}) {
        QFile file(QStringLiteral(":/icons/velmora-%1.rgba").arg(size));
        const QByteArray pixels = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        if (pixels.size() == size * size * 4) {
            const QImage image(
                reinterpret_cast<const uchar*>(pixels.constData()), size, size, size * 4, QImage::Format_RGBA8888);
            icon.addPixmap(QPixmap::fromImage(image.copy()));
        }
    }
    return icon;
}

QWidget* Board::createControl(const ControlDesign& design)
{
    QWidget* control = nullptr;
    switch (design.kind) {
    case ControlDesign::Kind::StepButton:
    case ControlDesign::Kind::KarmaButton: {
        QPushButton* button = nullptr;
        // Karma buttons narrow their captions: "Karma +10" is wider than its
        // button at common fonts.
        if (design.kind == ControlDesign::Kind::KarmaButton && design.number <= kKarmaLamps) {
            auto* karma = new KarmaButton(design.caption, this);
            m_karmaButtons[static_cast<std::size_t>(design.number - 1)] = karma;
            button = karma;
        } else if (design.kind == ControlDesign::Kind::StepButton) {
            button = new StepButton(design.caption, this);
        } else {
            button = new CaptionButton(design.caption, this);
        }
        button->setAutoDefault(false);
        const int number = design.number;
        if (design.kind == ControlDesign::Kind::StepButton) {
            m_stepOf.insert(button, number);
            connect(button, &QPushButton::clicked, this, [this, number] { m_session.rollStep(number); });
        } else {
            connect(button, &QPushButton::clicked, this, [this, number] { m_session.clickKarma(number); });
        }
        control = button;
        break;
    }
    case ControlDesign::Kind::KarmaLabel:
        control = new QLabel(design.caption, this);
        control->hide();
        // A fixed name keeps its caption changes from reaching assistive
        // technology; only the lamps show the state.
        control->setAccessibleName(tr("Karmazustand"));
        break;
    case ControlDesign::Kind::Lamp:
        control = new IndicatorLamp(design.number, this);
        break;
    case ControlDesign::Kind::CreditLabel:
        control = new QLabel(design.caption, this);
        // A label without a colour of its own shows the dialog face, and
        // hides whatever is drawn beneath it.
        control->setBackgroundRole(QPalette::Button);
        control->setAutoFillBackground(true);
        break;
    }
    control->setObjectName(design.name);
    control->setGeometry(twipsToPixels(design.twips));
    return control;
}

void Board::rolled(const RollRecord& roll)
{
    m_typing.end(); // however it was rolled: a click too ends a typed number
    m_view->transcriptChanged();
    if (QAccessible::isActive()) {
        // Away from the board, as after a re-roll from the log, the listener
        // hears which step it was.
        const QWidget* focus =
            QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : window()->focusWidget();
        const Announcement result = rollAnnouncement(roll, focus != nullptr && !isAncestorOf(focus));
        m_announcer->announce(result.message, result.details);
    }
}

void Board::karmaChanged(int button)
{
    const KarmaHolder& karma = m_session.karma();
    m_karmaCaption->setText(QString::fromStdString(karma.caption()));
    for (int lamp = 1; lamp <= kKarmaLamps; ++lamp) {
        m_lamps[static_cast<std::size_t>(lamp - 1)]->setSystemColour(karma.lampColour(lamp));
    }
    m_odds->karmaChanged();
    for (std::size_t i = 0; i < m_karmaButtons.size(); ++i) {
        m_karmaButtons[i]->setChosen(static_cast<int>(i) + 1 == button);
    }
    // Four state events a change (two lamps, two buttons), each control's
    // net change only.
    m_karmaStates->request();
    if (QAccessible::isActive()) {
        const Announcement choice = karmaAnnouncement(button);
        m_announcer->announce(choice.message, choice.details);
    }
}

void Board::reportKarmaStates()
{
    for (IndicatorLamp* lamp : m_lamps) {
        lamp->reportState();
    }
    for (KarmaButton* button : m_karmaButtons) {
        button->reportState();
    }
}

void Board::takeFocusBack()
{
    QWidget* to = m_lastFocus != nullptr ? m_lastFocus.data() : findChild<QPushButton*>(QStringLiteral("Command1"));
    to->setFocus(Qt::OtherFocusReason);
}

void Board::announce(const QString& message, const QString& details) { m_announcer->announce(message, details); }

void Board::copyRoll()
{
    const auto& last = m_session.lastRoll();
    if (!last) {
        m_announcer->announce(tr("Noch kein Wurf"));
        return;
    }
    QApplication::clipboard()->setText(QString::fromStdString(m_session.copyText(*last)));
    m_announcer->announce(tr("Wurf kopiert"));
}

int Board::barHeight() const
{
    return m_messageBar != nullptr && m_messageBar->isVisibleTo(this)
        ? m_messageBar->heightForWidth(clientSize(m_scale).width())
        : 0;
}

MessageBar* Board::bar()
{
    if (m_messageBar == nullptr) {
        m_messageBar = new MessageBar(this);
        m_messageBar->hide();
        connect(m_messageBar, &MessageBar::closed, this, [this] { growBy(-m_shownBar); });
    }
    return m_messageBar;
}

void Board::offerUndo(std::int64_t rolls)
{
    // One clearing offered at a time: the one that Ctrl+Z undoes.
    const int before = barHeight();
    if (rolls > 0) {
        const QString cleared = rolls == 1 ? tr("Ein Wurf gelöscht.") : tr("%1 Würfe gelöscht.").arg(rolls);
        bar()->offer(cleared + ' ' + tr("Strg+Z macht es rückgängig."), tr("&Rückgängig"),
            [this] { m_session.keeper().undoClearing(); });
    } else if (m_messageBar != nullptr) {
        m_messageBar->withdraw();
    }
    growBy(barHeight() - before);
}

void Board::tell(const QString& problem)
{
    if (problem.isEmpty()) {
        return;
    }
    bar();
    const int before = barHeight();
    if (!m_messageBar->add(problem)) {
        return;
    }
    m_messageBar->show();
    growBy(barHeight() - before);
    m_announcer->announce(problem);
}

void Board::untell(const QString& problem)
{
    if (m_messageBar != nullptr) {
        const int before = barHeight();
        m_messageBar->remove(problem);
        growBy(barHeight() - before);
    }
}

void Board::growBy(int pixels)
{
    // Beneath the board, which keeps every control where it was: the
    // window grows or shrinks by the bar's height.
    m_shownBar = barHeight();
    updateGeometry();
    QWidget* top = window();
    if (top != this && pixels != 0) {
        top->resize(top->width(), top->height() + pixels);
    }
    placeMessageBar();
}

void Board::placeMessageBar()
{
    const int bar = barHeight();
    if (bar > 0) {
        m_messageBar->setGeometry(0, height() - bar, width(), bar);
    }
    m_view->setGeometry(0, 0, width(), height() - bar);
}

void Board::contextMenuEvent(QContextMenuEvent* event)
{
    const bool byKeyboard = event->reason() != QContextMenuEvent::Mouse;
    QWidget* from = byKeyboard && focusWidget() != nullptr ? focusWidget() : nullptr;
    showWindowMenu(from != nullptr ? from->mapToGlobal(from->rect().center()) : event->globalPos(), byKeyboard);
}

void Board::showWindowMenu(const QPoint& globalPos, bool byKeyboard)
{
    auto* menu = new QMenu(this);
    addStandIns(menu, actions());
    popUpMenu(menu, globalPos, byKeyboard);
}

namespace {

// Space, Return and the keypad's Enter, which click the focused button.
bool clicksButton(const QKeyEvent& event)
{
    const bool plain = (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    return plain && (event.key() == Qt::Key_Space || event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter);
}

} // namespace

bool Board::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        m_lastFocus = static_cast<QWidget*>(watched);
        m_focusedStep = m_stepOf.value(watched, m_focusedStep);
    }
    // Before the button: it would move the focus along the tab order, and
    // click on every release, the unflagged repeats' too.
    if (event->type() == QEvent::KeyRelease) {
        return clicksButton(*static_cast<QKeyEvent*>(event));
    }
    if (event->type() == QEvent::KeyPress) {
        const auto& key = *static_cast<QKeyEvent*>(event);
        endTypingUnlessDigit(key);
        const bool repeat = HeldKeys::instance().pressIsRepeat(key);
        auto* control = static_cast<QWidget*>(watched);
        return menuKey(control, key) || clickKey(control, key, repeat) || typedDigit(key, repeat)
            || karmaKey(key, repeat) || gridMove(key);
    }
    return QWidget::eventFilter(watched, event);
}

// Where no control has the focus, as for a moment after a menu closes, a
// typed step number and + or - still act.
void Board::keyPressEvent(QKeyEvent* event)
{
    // A control's keys were tracked by the event filter on their way here.
    const bool fromControl = focusWidget() != nullptr && focusWidget() != this;
    if (!fromControl) {
        endTypingUnlessDigit(*event);
    }
    const bool repeat = fromControl || HeldKeys::instance().pressIsRepeat(*event);
    if (fromControl || (!typedDigit(*event, repeat) && !karmaKey(*event, repeat))) {
        QWidget::keyPressEvent(event);
    }
}

bool Board::menuKey(QWidget* control, const QKeyEvent& event)
{
    // On every control, as on the step buttons, whose own menu comes first.
    if (!opensMenu(event.key(), event.modifiers()) || qobject_cast<StepButton*>(control) != nullptr) {
        return false;
    }
    showWindowMenu(control->mapToGlobal(control->rect().center()), true);
    return true;
}

bool Board::clickKey(QWidget* control, const QKeyEvent& event, bool repeat)
{
    if (!clicksButton(event)) {
        return false;
    }
    // On the press, as a button does with Return; a held key clicks once.
    auto* button = qobject_cast<QPushButton*>(control);
    if (!repeat && button != nullptr) {
        button->click();
    }
    return true;
}

void Board::endTypingUnlessDigit(const QKeyEvent& event)
{
    // Shift alone is half of a "+" on many layouts, not a key of its own.
    static const QSet<int> modifiers{Qt::Key_Shift, Qt::Key_Control, Qt::Key_Alt, Qt::Key_AltGr, Qt::Key_Meta};
    const QString text = event.text();
    if (!modifiers.contains(event.key()) && !(text.size() == 1 && text.front().isDigit())) {
        m_typing.end();
    }
}

bool Board::typedDigit(const QKeyEvent& event, bool repeat)
{
    const QString text = event.text();
    const bool plain = (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!plain || text.size() != 1 || !text.front().isDigit()) {
        return false;
    }
    if (repeat) {
        return true;
    }
    const auto step = m_typing.type(text.front().toLatin1(), static_cast<std::uint64_t>(m_sinceStart.elapsed()));
    if (step) {
        findChild<QPushButton*>(QStringLiteral("Command%1").arg(*step))->setFocus(Qt::ShortcutFocusReason);
    }
    return true;
}

bool Board::karmaKey(const QKeyEvent& event, bool repeat)
{
    // Shift too: on many layouts "+" is a shifted key.
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if ((event.key() != Qt::Key_Plus && event.key() != Qt::Key_Minus)
        || (modifiers != Qt::NoModifier && modifiers != Qt::ShiftModifier)) {
        return false;
    }
    if (!repeat) {
        m_session.stepKarma(event.key() == Qt::Key_Plus ? 1 : -1);
    }
    return true;
}

bool Board::gridMove(const QKeyEvent& event)
{
    auto* from = qobject_cast<QPushButton*>(focusWidget());
    if ((event.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || from == nullptr) {
        return false;
    }
    QPushButton* to = m_grid->neighbour(from, static_cast<Qt::Key>(event.key()));
    if (to == nullptr) {
        return false;
    }
    to->setFocus(Qt::TabFocusReason);
    return true;
}

void Board::resizeEvent(QResizeEvent* event)
{
    // Controls keep their places; only the drawing surface follows the window.
    placeMessageBar();
    QWidget::resizeEvent(event);
}

void Board::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && m_view != nullptr) {
        applyTranscriptColour();
    }
    QWidget::changeEvent(event);
}

void Board::applyTranscriptColour()
{
    QPalette palette;
    palette.setColor(QPalette::WindowText, transcriptTextColour(this->palette()));
    m_view->setPalette(palette);
}

} // namespace velmora
