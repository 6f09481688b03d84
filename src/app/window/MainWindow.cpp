#include "app/window/MainWindow.h"

#include "app/access/AccessibleFactory.h"
#include "app/access/Announcements.h"
#include "app/access/Announcer.h"
#include "app/access/KeyboardMenu.h"
#include "app/band/Legibility.h"
#include "app/band/TranscriptView.h"
#include "app/log/RollLogWindow.h"
#include "app/odds/StepOddsHook.h"
#include "app/talents/TalentsWindow.h"
#include "app/window/ButtonGrid.h"
#include "app/window/CaptionButton.h"
#include "app/window/DesignLayout.h"
#include "app/window/IndicatorLamp.h"
#include "app/window/KarmaButton.h"
#include "app/window/MessageBar.h"
#include "app/window/Twips.h"
#include "steps/RollReportingErrors.h"
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

#include <algorithm>
#include <utility>

namespace velmora {
namespace {

// A frame named by the title, whose children are what a person can
// perceive: the hidden holder of the karma state is left out.
class AccessibleWindow : public QAccessibleWidget {
public:
    explicit AccessibleWindow(QWidget* window) : QAccessibleWidget(window, QAccessible::Window) {}

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

MainWindow::MainWindow(RandomSource& source, Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_dice(source, clock)
    , m_roll(m_dice, m_karma)
{
    installAccessibleInterface<MainWindow, AccessibleWindow>();
    setObjectName(QStringLiteral("velmora"));
    setWindowTitle(tr("Velmora - Stand-Alone-Version"));
    resize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));

    // First child, so every control stands above the transcript.
    m_view = new TranscriptView(m_transcript, twipsToPixels(kTranscriptBandTwips), this);
    m_view->setGeometry(rect());
    applyTranscriptColour();

    QLabel* karmaCaption = nullptr;
    std::array<IndicatorLamp*, kKarmaLamps> lamps{};
    QList<QPushButton*> buttons; // for the arrow keys
    QList<QPushButton*> stepButtons;
    // Controls are created in the design's tab order, which Qt's focus chain
    // follows; labels take no focus.
    for (const ControlDesign& design : designControls()) {
        QWidget* control = createControl(design);
        switch (design.kind) {
        case ControlDesign::Kind::KarmaLabel:
            karmaCaption = static_cast<QLabel*>(control);
            break;
        case ControlDesign::Kind::Lamp:
            lamps[static_cast<std::size_t>(design.number - 1)] = static_cast<IndicatorLamp*>(control);
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
    m_karma.bind(karmaCaption, lamps);
    // The step buttons' odds: tooltips, descriptions and the context menu
    // that opens the odds window, each computed when first asked for.
    m_odds = new StepOddsHook(
        stepButtons, [this] { return karmaLevel(); }, this);
    for (QPushButton* button : buttons) {
        button->installEventFilter(this);
    }
    m_grid = std::make_unique<ButtonGrid>(buttons);
    m_sinceStart.start();
    // Last, so that it stands outside the design's order of controls.
    m_announcer = new Announcer(this);

    // Actions of the window, so that their keys work whatever control has
    // the focus, and the context menu shows them with their keys.
    m_copyAction = new QAction(tr("Wurf kopieren"), this);
    m_copyAction->setShortcut(QKeySequence::Copy);
    connect(m_copyAction, &QAction::triggered, this, &MainWindow::copyRoll);
    m_logAction = new QAction(tr("Verlauf"), this);
    m_logAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    connect(m_logAction, &QAction::triggered, this, &MainWindow::showLog);
    m_talentsAction = new QAction(tr("Talente"), this);
    m_talentsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    connect(m_talentsAction, &QAction::triggered, this, &MainWindow::showTalents);
    addAction(m_copyAction);
    addAction(m_logAction);
    addAction(m_talentsAction);

    connect(&m_keeper, &Keeper::logReplaced, this, [this] {
        if (m_logWindow != nullptr) {
            m_logWindow->reload();
        }
    });
    connect(&m_keeper, &Keeper::problem, this, &MainWindow::tell);
}

MainWindow::~MainWindow()
{
    // Before the keeper that they show.
    delete m_logWindow;
    delete m_talentsWindow;
}

QIcon MainWindow::applicationIcon()
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

QWidget* MainWindow::createControl(const ControlDesign& design)
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
            connect(button, &QPushButton::clicked, this, [this, number] { rollStep(number); });
        } else {
            connect(button, &QPushButton::clicked, this, [this, number] { clickKarma(number); });
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

void MainWindow::rollStep(int step) { roll(step, {}, {}); }

void MainWindow::rollTalent(const std::string& character, const std::string& talent, int step)
{
    roll(step, character, talent);
}

void MainWindow::roll(int step, std::string character, std::string talent)
{
    RollRecord record = rollReportingErrors(m_roll, stepDefinition(step));
    record.character = std::move(character);
    record.talent = std::move(talent);
    m_transcript.show(rolltext::bandLines(record));
    m_lastRoll = m_keeper.keep(record).roll;
    m_view->transcriptChanged();
    if (m_logWindow != nullptr) {
        m_logWindow->rollAdded();
    }
    if (QAccessible::isActive()) {
        const Announcement result = rollAnnouncement(*m_lastRoll);
        m_announcer->announce(result.message, result.details);
    }
}

void MainWindow::clickKarma(int button)
{
    clickKarmaButton(button, m_karma);
    m_odds->karmaChanged();
    for (std::size_t i = 0; i < m_karmaButtons.size(); ++i) {
        m_karmaButtons[i]->setChosen(static_cast<int>(i) + 1 == button);
    }
    if (QAccessible::isActive()) {
        const Announcement choice = karmaAnnouncement(button);
        m_announcer->announce(choice.message, choice.details);
    }
}

void MainWindow::copyRoll()
{
    if (!m_lastRoll) {
        m_announcer->announce(tr("Noch kein Wurf"));
        return;
    }
    // This window's own latest roll, not another program's that the log took in.
    QApplication::clipboard()->setText(QString::fromStdString(rolltext::copy(*m_lastRoll)));
    m_announcer->announce(tr("Wurf kopiert"));
}

void MainWindow::showLog()
{
    if (m_logWindow == nullptr) {
        m_logWindow = new RollLogWindow(m_keeper.log(), this);
        connect(m_logWindow, &RollLogWindow::clearRequested, this,
            qOverload<const std::vector<std::uint64_t>&>(&MainWindow::clearLog));
    }
    m_keeper.lookForChanges();
    m_logWindow->open(this);
}

void MainWindow::restoreKept() { m_keeper.start(); }

void MainWindow::clearLog()
{
    std::vector<std::uint64_t> ids;
    for (std::size_t i = 0; i < log().size(); ++i) {
        ids.push_back(log()[i].id);
    }
    clearLog(ids);
}

void MainWindow::clearLog(const std::vector<std::uint64_t>& ids)
{
    m_keeper.clearLog(ids);
    if (m_logWindow != nullptr) {
        m_logWindow->reload();
    }
}

void MainWindow::tell(const QString& problem)
{
    if (problem.isEmpty()) {
        return;
    }
    if (m_messageBar == nullptr) {
        m_messageBar = new MessageBar(this);
        connect(m_messageBar, &MessageBar::closed, this, [this] {
            resize(width(), height() - m_messageBar->height());
            placeMessageBar();
        });
    }
    const int before = m_messageBar->isVisible() ? m_messageBar->heightForWidth(width()) : 0;
    if (!m_messageBar->add(problem)) {
        return;
    }
    m_messageBar->show();
    // Beneath the board, which keeps every control where it was.
    resize(width(), height() + m_messageBar->heightForWidth(width()) - before);
    placeMessageBar();
    m_announcer->announce(problem);
}

void MainWindow::placeMessageBar()
{
    const bool shown = m_messageBar != nullptr && m_messageBar->isVisible();
    const int barHeight = shown ? m_messageBar->heightForWidth(width()) : 0;
    if (shown) {
        m_messageBar->setGeometry(0, height() - barHeight, width(), barHeight);
    }
    m_view->setGeometry(0, 0, width(), height() - barHeight);
}

void MainWindow::showTalents()
{
    if (m_talentsWindow == nullptr) {
        m_talentsWindow = new TalentsWindow(m_keeper, this);
        connect(m_talentsWindow, &TalentsWindow::rollRequested, this,
            [this](const QString& character, const QString& talent, int step) {
                rollTalent(character.toStdString(), talent.toStdString(), step);
            });
    }
    m_talentsWindow->open(this);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event)
{
    const bool byKeyboard = event->reason() != QContextMenuEvent::Mouse;
    QWidget* from = byKeyboard && focusWidget() != nullptr ? focusWidget() : nullptr;
    showWindowMenu(from != nullptr ? from->mapToGlobal(from->rect().center()) : event->globalPos(), byKeyboard);
}

void MainWindow::showWindowMenu(const QPoint& globalPos, bool byKeyboard)
{
    auto* menu = new QMenu(this);
    menu->addAction(m_copyAction);
    menu->addAction(m_logAction);
    menu->addAction(m_talentsAction);
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

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Before the button: it would move the focus along the tab order, and
    // click on every release, the unflagged repeats' too.
    if (event->type() == QEvent::KeyRelease) {
        const auto& key = *static_cast<QKeyEvent*>(event);
        m_heldKeys.release(key);
        return clicksButton(key);
    }
    if (event->type() == QEvent::KeyPress) {
        const auto& key = *static_cast<QKeyEvent*>(event);
        const bool repeat = m_heldKeys.pressIsRepeat(key);
        auto* control = static_cast<QWidget*>(watched);
        return menuKey(control, key) || clickKey(control, key, repeat) || typedDigit(key, repeat)
            || karmaKey(key, repeat) || gridMove(key);
    }
    return QWidget::eventFilter(watched, event);
}

// Where no control has the focus, as for a moment after a menu closes, a
// typed step number and + or - still act.
void MainWindow::keyPressEvent(QKeyEvent* event)
{
    // A control's keys were tracked by the event filter on their way here.
    const bool fromControl = focusWidget() != nullptr && focusWidget() != this;
    const bool repeat = fromControl || m_heldKeys.pressIsRepeat(*event);
    if (fromControl || (!typedDigit(*event, repeat) && !karmaKey(*event, repeat))) {
        QWidget::keyPressEvent(event);
    }
}

void MainWindow::keyReleaseEvent(QKeyEvent* event)
{
    if (focusWidget() == nullptr || focusWidget() == this) {
        m_heldKeys.release(*event);
    }
    QWidget::keyReleaseEvent(event);
}

bool MainWindow::menuKey(QWidget* control, const QKeyEvent& event)
{
    // On every control, as on the step buttons, whose own menu comes first.
    if (!opensMenu(event.key(), event.modifiers()) || qobject_cast<StepButton*>(control) != nullptr) {
        return false;
    }
    showWindowMenu(control->mapToGlobal(control->rect().center()), true);
    return true;
}

bool MainWindow::clickKey(QWidget* control, const QKeyEvent& event, bool repeat)
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

bool MainWindow::typedDigit(const QKeyEvent& event, bool repeat)
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

bool MainWindow::karmaKey(const QKeyEvent& event, bool repeat)
{
    // Shift too: on many layouts "+" is a shifted key.
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if ((event.key() != Qt::Key_Plus && event.key() != Qt::Key_Minus)
        || (modifiers != Qt::NoModifier && modifiers != Qt::ShiftModifier)) {
        return false;
    }
    if (!repeat) {
        stepKarma(event.key() == Qt::Key_Plus ? 1 : -1);
    }
    return true;
}

bool MainWindow::gridMove(const QKeyEvent& event)
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

int MainWindow::karmaLevel() const { return static_cast<int>(karmaValue(m_karma.caption())); }

void MainWindow::stepKarma(int delta)
{
    // None, +4, +6, +8, +10, as the karma buttons and "Reset" set them; at
    // either end the same level again, so that it is heard.
    const int level = std::clamp(karmaLevel() + delta, 0, kKarmaLamps);
    clickKarma(level == 0 ? kResetButton : level);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    // Controls keep their places; only the drawing surface follows the window.
    placeMessageBar();
    QWidget::resizeEvent(event);
}

void MainWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && m_view != nullptr) {
        applyTranscriptColour();
    }
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        m_heldKeys.forget();
    }
    QWidget::changeEvent(event);
}

void MainWindow::applyTranscriptColour()
{
    QPalette palette;
    palette.setColor(QPalette::WindowText, transcriptTextColour(this->palette()));
    m_view->setPalette(palette);
}

} // namespace velmora
