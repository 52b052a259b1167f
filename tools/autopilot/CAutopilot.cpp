#include "CAutopilot.h"

#include "CTiskarUpdater.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextStream>
#include <QTimer>

#include <algorithm>

namespace {

// Often enough to see each tick of the progress bar, which moves every 1.2 s.
constexpr int kPollIntervalMs = 100;

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

// A widget's text as the user reads it; empty for widgets without one.
QString shownText(const QWidget *widget)
{
    if (auto *radio = qobject_cast<const QRadioButton *>(widget))
        return (radio->isChecked() ? QStringLiteral("(x) ") : QStringLiteral("( ) ")) + radio->text();
    if (auto *button = qobject_cast<const QAbstractButton *>(widget))
        return QStringLiteral("[%1]%2").arg(button->text(), button->isEnabled() ? QString() : QStringLiteral(" (off)"));
    if (auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    return QString();
}

// The visible direct children of a widget, top to bottom, left to right.
QList<QWidget *> shownChildren(QWidget *parent)
{
    QList<QWidget *> shown;
    for (QWidget *child : parent->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isVisible())
            shown << child;
    }
    std::stable_sort(shown.begin(), shown.end(), [](const QWidget *a, const QWidget *b) {
        return a->y() != b->y() ? a->y() < b->y() : a->x() < b->x();
    });
    return shown;
}

void printIndented(const QString &text)
{
    for (const QString &line : text.split(QLatin1Char('\n')))
        out() << "    " << line << '\n';
}

} // namespace

CAutopilot::CAutopilot(CTiskarUpdater &wizard, const QDir &pictures)
    : m_wizard(wizard)
    , m_pictures(pictures)
    , m_poll(new QTimer(this))
{
    connect(m_poll, SIGNAL(timeout()), this, SLOT(step()));
}

void CAutopilot::start()
{
    m_poll->start(kPollIntervalMs);
}

QWidget *CAutopilot::pageOnDisplay() const
{
    QWidget *page = m_wizard.newestPage(m_wizard.getCurrentIndex());
    return page && page->isVisible() ? page : nullptr;
}

// One look at the wizard: report what changed, and press Next (or Finish)
// once it is usable.
void CAutopilot::step()
{
    if (answerMessageBox())
        return;
    QWidget *page = pageOnDisplay();
    if (!page || !m_wizard.isVisible())
        return;
    auto *next = m_wizard.findChild<QPushButton *>(QStringLiteral("nextButton"));
    if (!next->isEnabled()) {
        reportProgress(page);
        return;
    }
    if (page == m_reportedPage)
        return;
    m_reportedPage = page;
    reportPage(page);
    savePicture(page);
    out() << "  pressing " << next->text() << '\n';
    out().flush();
    next->click();
}

// A box runs its own event loop, in which this pilot's timer goes on.
bool CAutopilot::answerMessageBox()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box)
        return false;
    QAbstractButton *ok = box->button(QMessageBox::Ok);
    out() << "Message box\n";
    printIndented(box->text());
    if (ok) {
        out() << "  pressing " << ok->text() << '\n';
        out().flush();
        ok->click();
    }
    return true;
}

void CAutopilot::reportPage(QWidget *page)
{
    ++m_pagesReported;
    out() << "Page " << m_wizard.getCurrentIndex() + 1 << " of " << CTiskarUpdater::kPageCount << " ("
          << page->metaObject()->className() << ")\n";
    for (QWidget *widget : shownChildren(page)) {
        if (auto *bar = qobject_cast<QProgressBar *>(widget))
            printIndented(QStringLiteral("[progress %1 %]").arg(bar->value()));
        else if (!shownText(widget).isEmpty())
            printIndented(shownText(widget));
    }
    QStringList buttons;
    for (const char *name : {"backButton", "nextButton", "cancelButton"})
        buttons << shownText(m_wizard.findChild<QPushButton *>(QLatin1String(name)));
    printIndented(buttons.join(QLatin1Char(' ')));
}

void CAutopilot::reportProgress(QWidget *page)
{
    auto *bar = page->findChild<QProgressBar *>();
    if (!bar || bar->value() == m_reportedProgress)
        return;
    m_reportedProgress = bar->value();
    out() << "  sending the firmware: progress " << qMax(0, m_reportedProgress) << " %\n";
    out().flush();
}

void CAutopilot::savePicture(QWidget *page)
{
    const QString file = m_pictures.filePath(QStringLiteral("%1-%2.png")
                                                 .arg(m_pagesReported)
                                                 .arg(QString::fromLatin1(page->metaObject()->className())));
    if (m_wizard.grab().save(file))
        out() << "  picture: " << file << '\n';
    else
        out() << "  picture: could not write " << file << '\n';
}
