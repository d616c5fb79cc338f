#pragma once

#include <QWidget>

class QStackedWidget;
class QTabBar;

// A row of page tabs over a stack of pages, where every page covers the whole control, tab row included,
// so that a page's controls are placed in the control's own coordinates below the tab row.
class TabControl : public QWidget
{
    Q_OBJECT

public:
    explicit TabControl(QWidget* parent = nullptr);

    // A new page under the given tab caption; the caller places its controls on it.
    QWidget* addPage(const QString& caption);

    int count() const;
    int currentIndex() const;
    void setCurrentIndex(int index);
    QString tabText(int index) const;
    QWidget* page(int index) const;
    QTabBar* tabBar() const { return m_bar; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QTabBar* m_bar;
    QStackedWidget* m_pages;
};
