#include "maintenance/TabControl.h"

#include <QFrame>
#include <QPainter>
#include <QStackedWidget>
#include <QStyleOption>
#include <QTabBar>

namespace {

// A page draws the panel's frame below the tab row, as the tab control's own panel would.
class Page : public QWidget
{
public:
    Page(const QTabBar& tabs, QWidget* parent) : QWidget(parent), m_tabs(tabs) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QStyleOptionTabWidgetFrame frame;
        frame.initFrom(this);
        frame.rect = rect().adjusted(0, m_tabs.height() - 1, 0, 0);
        frame.shape = QTabBar::RoundedNorth;
        style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
    }

private:
    const QTabBar& m_tabs;
};

} // namespace

TabControl::TabControl(QWidget* parent)
    : QWidget(parent), m_bar(new QTabBar(this)), m_pages(new QStackedWidget(this))
{
    m_bar->setDrawBase(false);
    m_bar->setExpanding(false);
    m_pages->setFrameShape(QFrame::NoFrame);
    m_bar->raise();
    connect(m_bar, &QTabBar::currentChanged, m_pages, &QStackedWidget::setCurrentIndex);
}

QWidget* TabControl::addPage(const QString& caption)
{
    auto* page = new Page(*m_bar, m_pages);
    page->setAutoFillBackground(true);
    m_pages->addWidget(page);
    m_bar->addTab(caption);
    m_bar->raise();
    return page;
}

int TabControl::count() const
{
    return m_bar->count();
}

int TabControl::currentIndex() const
{
    return m_bar->currentIndex();
}

void TabControl::setCurrentIndex(int index)
{
    m_bar->setCurrentIndex(index);
}

QString TabControl::tabText(int index) const
{
    return m_bar->tabText(index);
}

QWidget* TabControl::page(int index) const
{
    return m_pages->widget(index);
}

void TabControl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_pages->setGeometry(rect());
    m_bar->setGeometry(0, 0, width(), m_bar->sizeHint().height());
}
