// The window's layout on today's desktops: every control fits its text at any font size and
// screen scale (this test runs once more with QT_SCALE_FACTOR=2), the address column stays
// whole beside the scroll bar, a restored document window is usable, the progress pane keeps
// its height, the pane sizes and window geometry come back in the next run, the window fits
// the screen, and the panes stay usable in a window of 640x480.
#include <QAbstractButton>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QStyle>
#include <QTreeWidget>

#include "tests/ui/window_test_support.h"
#include "ui/child_frame.h"
#include "ui/input_view.h"
#include "ui/list_view.h"
#include "ui/main_frame.h"
#include "ui/prog_view.h"
#include "ui/tarsel_view.h"

using namespace tarsel;
using namespace tarsel::test;

namespace {

// The widest text a control shows: its own, or for a counter the largest count.
QString WidestText(const QWidget* control) {
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        return label->text().remove('&');
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        return button->text().remove('&');
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(control)) {
        // The counters, up to a search's capacity of mails.
        return edit->isReadOnly() ? QString("10000000") : QString();
    }
    return {};
}

// Every text fits its control (a frame of 4 pixels a side for fields and buttons), and no
// two controls of the pane cover one another.
void VerifyControlsFit(const QWidget* pane) {
    QList<const QWidget*> controls;
    for (const QWidget* control : pane->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (qobject_cast<const QTreeWidget*>(control) == nullptr) {
            controls << control;
        }
    }
    for (const QWidget* control : controls) {
        const QString text = WidestText(control);
        const QFontMetrics metrics(control->font());
        if (qobject_cast<const QCheckBox*>(control) != nullptr) {
            // A check box's label may wrap beside its indicator, but never past its bottom.
            const int indicator = control->style()->pixelMetric(QStyle::PM_IndicatorWidth);
            const QRect need = metrics.boundingRect(
                QRect(0, 0, control->width() - indicator, 10000), Qt::TextWordWrap, text);
            QVERIFY2(need.width() + indicator <= control->width(), qPrintable(text));
            QVERIFY2(need.height() <= control->height(), qPrintable(text));
        } else {
            const int frame = qobject_cast<const QLabel*>(control) != nullptr ? 0 : 8;
            QVERIFY2(metrics.horizontalAdvance(text) + frame <= control->width(), qPrintable(text));
            QVERIFY2(metrics.height() <= control->height(), qPrintable(text));
        }
        for (const QWidget* other : controls) {
            QVERIFY2(other == control || !other->geometry().intersects(control->geometry()),
                     qPrintable(text + " / " + WidestText(other)));
        }
    }
}

}  // namespace

class TestLayout : public QObject {
    Q_OBJECT
  private slots:
    void EveryControlFitsItsText_data();
    void EveryControlFitsItsText();
    void AddressColumnStaysWholeBesideTheScrollBar();
    void RestoredWindowIsUsable();
    void ProgressPaneKeepsItsHeight();
    void SizesAndGeometryAreRemembered();
    void WindowFitsTheScreen_data();
    void WindowFitsTheScreen();
    void PanesStayUsableAt640x480();
};

void TestLayout::EveryControlFitsItsText_data() {
    QTest::addColumn<int>("points");
    for (const int points : {9, 12, 16}) {
        QTest::newRow(qPrintable(QString::number(points) + " points")) << points;
    }
}

void TestLayout::EveryControlFitsItsText() {
    QFETCH(int, points);
    const QFont interface = QApplication::font();
    QFont font = interface;
    font.setPointSize(points);
    QApplication::setFont(font);
    CInputView input;
    CListView1 list;
    QApplication::setFont(interface);
    VerifyControlsFit(&input);
    VerifyControlsFit(&list);
}

void TestLayout::AddressColumnStaysWholeBesideTheScrollBar() {
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    CListView1* pane = child->m_pListView;
    std::vector<HeaderRow> rows(
        20, HeaderRow{"Taro <taro@example.jp>", "subject", "2024/12/31 23:59:59", "0x5f5e0ff"});
    pane->ShowRows(rows, std::vector<bool>(20, false));
    QTreeWidget* list = pane->m_listMails;
    QTRY_VERIFY(list->verticalScrollBar()->isVisible());
    const QFontMetrics metrics(list->font());
    for (const auto& [column, widest] :
         {std::pair{2, "2024/12/31 23:59:59"}, std::pair{3, "0x5f5e0ff"}}) {
        QVERIFY(list->columnWidth(column) >= metrics.horizontalAdvance(widest) + 4);
    }
    QVERIFY(list->header()->sectionViewportPosition(3) + list->columnWidth(3) <=
            list->viewport()->width());
}

void TestLayout::RestoredWindowIsUsable() {
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    QVERIFY(child->isMaximized());
    child->showNormal();
    QTRY_VERIFY(!child->isMaximized());
    // The input form and the list pane's controls are all in view, and some lines of mail.
    for (const QWidget* pane :
         {static_cast<QWidget*>(child->m_pInputView), static_cast<QWidget*>(child->m_pListView)}) {
        for (const QWidget* control : pane->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (qobject_cast<const QTreeWidget*>(control) == nullptr) {
                QVERIFY(control->geometry().right() < pane->width());
                QVERIFY(control->geometry().bottom() < pane->height());
            }
        }
    }
    QVERIFY(child->m_pTarselView->height() >= 100);
    QCOMPARE(child->m_pProgView->height(), 30);
}

void TestLayout::ProgressPaneKeepsItsHeight() {
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    QSplitter* rows = child->m_wndRightSplitter;
    const int list = child->m_pListView->height();
    // The bar above the progress pane dragged 50 pixels down, then the one below it 80 up.
    for (const auto& [handle, by] : {std::pair{1, 50}, std::pair{2, -80}}) {
        QWidget* bar = rows->handle(handle);
        const QPoint from = bar->rect().center();
        QMouseEvent press(QEvent::MouseButtonPress, from, bar->mapToGlobal(from), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &press);
        const QPoint to = from + QPoint(0, by);
        QMouseEvent move(QEvent::MouseMove, to, bar->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, to, bar->mapToGlobal(to), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &release);
        QCOMPARE(child->m_pProgView->height(), 30);
    }
    QCOMPARE(child->m_pListView->height(), list + 50 - 80);
}

void TestLayout::SizesAndGeometryAreRemembered() {
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    CMainFrame* frame = App()->MainFrame();
    frame->resize(800, 540);  // within the screen at twice the scale too
    child->m_wndMainSplitter->setSizes({160, 600});
    child->m_wndRightSplitter->setSizes({200, 30, 300});
    QCoreApplication::processEvents();

    child = OpenWindow();  // the next run: the last window is gone
    QVERIFY(child);
    QCOMPARE(App()->MainFrame()->size(), QSize(800, 540));
    QCOMPARE(child->m_wndMainSplitter->sizes().value(0), 160);
    QCOMPARE(child->m_pListView->height(), 200);
    QCOMPARE(child->m_pProgView->height(), 30);

    App()->MainFrame()->showMaximized();
    QCoreApplication::processEvents();
    child = OpenWindow();
    QVERIFY(child);
    QTRY_VERIFY(App()->MainFrame()->isMaximized());
}

void TestLayout::WindowFitsTheScreen_data() {
    QTest::addColumn<QRect>("remembered");  // empty: none
    QTest::addColumn<bool>("kept");
    QTest::newRow("first run") << QRect() << false;
    QTest::newRow("remembered, larger than the screen") << QRect(0, 0, 4000, 3000) << false;
    QTest::newRow("remembered, off the screen") << QRect(5000, 4000, 500, 400) << false;
    QTest::newRow("remembered, on the screen") << QRect(40, 50, 500, 400) << true;
}

void TestLayout::WindowFitsTheScreen() {
    QFETCH(QRect, remembered);
    QFETCH(bool, kept);
    QSettings settings;
    settings.remove("Window/Geometry");
    if (!remembered.isEmpty()) {
        QWidget window;
        window.setGeometry(remembered);
        settings.setValue("Window/Geometry", window.saveGeometry());
    }
    CMainFrame frame;
    frame.RestoreGeometry();
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    const QRect area = frame.screen()->availableGeometry();
    // The window's own area: the decorations are the window manager's.
    QVERIFY(area.contains(frame.geometry()));
    if (kept) {
        QCOMPARE(frame.geometry(), remembered);
    } else {
        QVERIFY(frame.width() <= area.width() * 0.9 + 1);
        QVERIFY(frame.height() <= area.height() * 0.9 + 1);
    }
}

void TestLayout::PanesStayUsableAt640x480() {
    CChildFrame* child = OpenWindow();
    QVERIFY(child);
    App()->MainFrame()->resize(640, 480);
    QTRY_COMPARE(App()->MainFrame()->size(), QSize(640, 480));
    // The whole input form can be scrolled to; the list pane's controls, some rows and some
    // lines of mail are in view. The form's scroll bar takes no width from the counters' units.
    CInputView* input = child->m_pInputView;
    QVERIFY(input->height() >= input->FormHeight());
    const auto* area = qobject_cast<QScrollArea*>(input->parentWidget()->parentWidget());
    QVERIFY(area);
    QVERIFY(!area->horizontalScrollBar()->isVisible());
    QVERIFY(area->viewport()->width() >= input->FormSize().width());
    CListView1* list = child->m_pListView;
    QVERIFY(list->m_btnNext->geometry().right() < list->width());
    QVERIFY(list->m_listMails->viewport()->height() >= 3 * list->fontMetrics().height());
    QVERIFY(child->m_pTarselView->viewport()->height() >= 5 * list->fontMetrics().height());
    QVERIFY(child->m_pTarselView->viewport()->width() >= 300);
}

TARSEL_UI_TEST_MAIN(TestLayout)
#include "test_layout.moc"
