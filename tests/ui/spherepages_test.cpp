// The control column at work: the construction buttons with the tree
// following, renaming, the reference lists, the exact-X dialog, every
// control of the Space and Time pages with the step it records, and every
// control of the six pages worked by an assistive tool.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QWheelEvent>
#include <cmath>

#include "controlcolumn.h"
#include "exactvaluedialog.h"
#include "pointspage.h"
#include "undohistory.h"
#include "viewpage.h"

class SpherePagesTest : public QObject {
    Q_OBJECT
  private slots:
    void typedFactor_data();
    void typedFactor();
    void construction_data();
    void construction();
    void rename_data();
    void rename();
    void treeSelection();
    void deleteKeyAsks_data();
    void deleteKeyAsks();
    void lists_data();
    void lists();
    void exactX_data();
    void exactX();
    void exactXPrefill();
    void edits_data();
    void edits();
    void storedAnglesShow_data();
    void storedAnglesShow();
    void assistiveTools_data();
    void assistiveTools();
    void stepsNamedAfterControls_data();
    void stepsNamedAfterControls();
    void everyControlSaysWhatItDoes();
};

// ops run on the starter automaton A(B); then the tree's shape and the
// selected sphere.
void SpherePagesTest::construction_data() {
    QTest::addColumn<QStringList>("ops");
    QTest::addColumn<QString>("shape");
    QTest::addColumn<QString>("selected");
    QTest::newRow("new document") << QStringList{} << "A(B)"
                                  << "B";
    QTest::newRow("create under the selected")
        << QStringList{"create", "create", "select A", "create"} << "A(B(C(D)),E)"
        << "E";
    QTest::newRow("destroy selects the parent")
        << QStringList{"create", "create", "select C", "destroy"} << "A(B)"
        << "B";
    QTest::newRow("destroy of the root empties the tree")
        << QStringList{"select A", "destroy", "destroy"} << ""
        << "";
    QTest::newRow("a new root after that")
        << QStringList{"select A", "destroy", "create", "create"} << "C(D)"
        << "D";
    QTest::newRow("level colours wrap after 8")
        << QStringList{"create", "create", "create", "create", "create",
                       "create", "create", "create", "create"}
        << "A(B(C(D(E(F(G(H(I(J(K))))))))))"
        << "K";
    QTest::newRow("template then create")
        << QStringList{"template", "select A", "create"} << "A(B,C)"
        << "C";
}

void SpherePagesTest::construction() {
    QFETCH(QString, shape);
    QFETCH(QString, selected);
    QFETCH(QStringList, ops);
    ControlColumn c;
    c.runAll(ops);
    QCOMPARE(c.shape(), shape);
    QString now = c.doc.selectedSphere ? sphereName(*c.doc.selectedSphere) : QString();
    QCOMPARE(now, selected);
    QCOMPARE(c.treeFault(), QString());
    QCOMPARE(c.journal.faults, QStringList());
    // Each press of a button that did something is one step of its own.
    for (const QString& step : c.journal.steps)
        QVERIFY2(QStringList({"Create Sphere", "Destroy Sphere", "Template"}).contains(step),
                 qPrintable(step));
}

// text typed into the tree's editor for B (or null: the edit is cancelled);
// then B's name and the message shown.
void SpherePagesTest::rename_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("new name") << "Moon" << false << "Moon"
                              << "";
    QTest::newRow("empty name refused") << "" << false << "B" << Document::kNameEmpty;
    QTest::newRow("a name in use refused") << "C" << false << "B"
                                           << "A sphere named C already exists.";
    QTest::newRow("cancelled") << "Moon" << true << "B"
                               << "";
    QTest::newRow("line break refused") << "Mo\non" << false << "B" << Document::kNameOnOneLine;
    QTest::newRow("no-sphere marker refused")
        << "ZEROOREZ" << false << "B" << Document::kNameReserved;
}

void SpherePagesTest::rename() {
    QFETCH(QString, message);
    QFETCH(QString, text);
    QFETCH(bool, cancel);
    QFETCH(QString, name);
    ControlColumn c;
    c.runAll({"create", "select B"});  // A(B(C)): B shows in C's lists
    c.doc.setModifiedFlag(false);
    c.journal.steps.clear();
    QTreeWidgetItem* item = c.tree.itemOf(*c.named("B"));
    if (text.contains('\n')) {
        // An editor line cannot hold a line break; a pasted one can reach
        // the tree only this way.
        c.tree.finishRename(item, text);
    } else {
        c.tree.editSelectedName();
        auto* editor = c.tree.findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->setText(text);
        QTest::keyClick(editor, cancel ? Qt::Key_Escape : Qt::Key_Return);
        QCoreApplication::processEvents();  // the editor commits through the event queue
    }
    Sphere* b = c.doc.selectedSphere;
    QCOMPARE(sphereName(*b), name);
    QCOMPARE(item->text(0), name);
    QCOMPARE(c.messages.join(""), message);
    QCOMPARE(c.doc.isModified(), name != "B");
    QCOMPARE(c.journal.steps, name != "B" ? QStringList{"Rename B"} : QStringList{});
    // The lists of the pages show the new name.
    c.select("C");
    QCOMPARE(entries(c.space().radiusList()), (QStringList{"A", name}));
    QCOMPARE(entries(c.time().timeList()), QStringList{name});
}

// Delete on the tree destroys like DESTROY, asking first when children go
// with the sphere.
void SpherePagesTest::deleteKeyAsks_data() {
    QTest::addColumn<QStringList>("ops");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("shape");
    QTest::newRow("leaf: no question") << QStringList{} << false << ""
                                       << "A";
    QTest::newRow("one child, yes")
        << QStringList{"create", "select B"} << true << "Destroy B and its child?"
        << "A";
    QTest::newRow("three below, no")
        << QStringList{"create", "create", "select B", "create", "select B"} << false
        << "Destroy B and its 3 children?"
        << "A(B(C(D),E))";
}

void SpherePagesTest::deleteKeyAsks() {
    QFETCH(bool, answer);
    QFETCH(QString, question);
    QFETCH(QString, shape);
    QFETCH(QStringList, ops);
    ControlColumn c;
    c.runAll(ops);
    c.confirmAnswer = answer;
    QTest::keyClick(&c.tree, Qt::Key_Delete);
    QCOMPARE(c.messages.join(""), question);
    QCOMPARE(c.shape(), shape);
    QCOMPARE(c.treeFault(), QString());
}

// Entries of the Space page's radius list and the Time page's list for the
// selected sphere, and whether each page's "Set exact value of X" can act.
void SpherePagesTest::lists_data() {
    QTest::addColumn<QStringList>("ops");
    QTest::addColumn<QStringList>("radius");
    QTest::addColumn<QStringList>("time");
    QTest::addColumn<bool>("radiusExact");
    QTest::addColumn<bool>("timeExact");
    QTest::addColumn<QString>("reason");          // why the rate cannot be edited
    const QStringList chain{"create", "create"};  // A(B(C(D)))
    QTest::newRow("root: everything derives from it")
        << QStringList{"select A"} << QStringList{} << QStringList{} << false << false
        << "A is the first sphere: it has no parent to roll along.";
    QTest::newRow("time master") << QStringList{"select B"} << QStringList{"A"} << QStringList{}
                                 << true << false
                                 << "B sets the clock: it rolls one cycle distance per time unit.";
    QTest::newRow("middle of a chain leaves out what hangs on it")
        << (chain + QStringList{"select C"}) << QStringList{"A", "B"} << QStringList{"B", "D"}
        << true << true << "";
    QTest::newRow("a sphere sized from elsewhere is offered")
        << (chain + QStringList{"radius D A", "time D B", "select C"}) << QStringList{"A", "B", "D"}
        << QStringList{"B", "D"} << true << true << "";
    QTest::newRow("a whole chain of references is left out")
        << (chain +
            QStringList{"select A", "create", "radius E D", "time D C", "time E D", "select C"})
        << QStringList{"A", "B"} << QStringList{"B"} << true << true << "";
    QTest::newRow("empty automaton") << QStringList{"select A", "destroy"} << QStringList{}
                                     << QStringList{} << false << false << "";
}

void SpherePagesTest::lists() {
    QFETCH(QStringList, radius);
    QFETCH(QStringList, time);
    QFETCH(bool, radiusExact);
    QFETCH(bool, timeExact);
    QFETCH(QString, reason);
    QFETCH(QStringList, ops);
    ControlColumn c;
    c.runAll(ops);
    QCOMPARE(entries(c.space().radiusList()), radius);
    QCOMPARE(entries(c.time().timeList()), time);
    auto canAct = [](QWidget* w) { return w->isEnabledTo(w->window()); };
    QCOMPARE(canAct(c.space().exactButton()), radiusExact);
    QCOMPARE(canAct(c.time().exactButton()), timeExact);
    QCOMPARE(c.time().fixedReason()->text(), reason);
    // The selected reference is the selected entry.
    Sphere* s = c.doc.selectedSphere;
    if (s && s->radiusReference && c.space().radiusList()->currentItem())
        QCOMPARE(c.space().radiusList()->currentItem()->text(), sphereName(*s->radiusReference));
}

// The three fields as typed; the factor accepted, or the message and the
// field that gets the focus back.
void SpherePagesTest::exactX_data() {
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    const QString range = "%1 must be an integer between %2 and %3.";
    QTest::newRow("2 4/6 is 8/3") << QStringList{"2", "4", "6"} << "8/3"
                                  << ""
                                  << "";
    QTest::newRow("largest") << QStringList{"1000", "999", "1000"} << "1000999/1000"
                             << ""
                             << "";
    QTest::newRow("zero refused") << QStringList{"0", "0", "7"} << ""
                                  << "X must be greater than 0."
                                  << "whole";
    QTest::newRow("whole too large") << QStringList{"1001", "0", "1"} << ""
                                     << range.arg("Whole number").arg(0).arg(1000) << "whole";
    QTest::newRow("numerator too large") << QStringList{"1", "1001", "1"} << ""
                                         << range.arg("Numerator").arg(0).arg(1000) << "numerator";
    QTest::newRow("denominator 0") << QStringList{"1", "0", "0"} << ""
                                   << range.arg("Denominator").arg(1).arg(1000) << "denominator";
    QTest::newRow("whole checked first") << QStringList{"5000", "0", "0"} << ""
                                         << range.arg("Whole number").arg(0).arg(1000) << "whole";
    QTest::newRow("empty field") << QStringList{"1", "", "1"} << ""
                                 << "Numerator must be an integer."
                                 << "numerator";
}

void SpherePagesTest::exactX() {
    QFETCH(QString, result);
    QFETCH(QString, focus);
    QFETCH(QStringList, fields);
    QFETCH(QString, message);
    QStringList shown;
    Prompts::message = [&](QWidget*, const QString& text) { shown << text; };
    ExactValueDialog dialog;
    dialog.show();
    dialog.wholeEdit()->setText(fields[0]);
    dialog.numeratorEdit()->setText(fields[1]);
    dialog.denominatorEdit()->setText(fields[2]);
    dialog.accept();
    Prompts::restoreDefaults();
    QCOMPARE(shown.join(""), message);
    QCOMPARE(dialog.result() == Rational(0, 1), message.isEmpty() ? false : true);
    if (message.isEmpty()) {
        QCOMPARE(dialog.isVisible(), false);
        Rational x = dialog.result();
        QCOMPARE(QString("%1/%2").arg(x.numerator()).arg(x.denominator()), result);
    } else {
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.focusWidget()->objectName(), focus);
    }
}

void SpherePagesTest::exactXPrefill() {
    ExactValueDialog dialog;
    dialog.prefill(Rational(7, 3));
    QCOMPARE(dialog.wholeEdit()->text(), QString("2"));
    QCOMPARE(dialog.numeratorEdit()->text(), QString("1"));
    QCOMPARE(dialog.denominatorEdit()->text(), QString("3"));
}

namespace {
// A field of a sphere as text, for the table below.
QString fieldText(const Sphere& s, const QString& name) {
    auto factor = [](Rational x) {
        return QString("%1/%2").arg(x.numerator()).arg(x.denominator());
    };
    auto who = [](const Sphere* r) { return r ? sphereName(*r) : QString("-"); };
    if (name == "inside") return QString::number(s.inside);
    if (name == "antiClockwise") return QString::number(s.antiClockwise);
    if (name == "radiusReference") return who(s.radiusReference);
    if (name == "timeReference") return who(s.timeReference);
    if (name == "radiusFactor") return factor(s.radiusFactor);
    if (name == "rollingRate") return factor(s.rollingRate);
    if (name == "axisAngleZ") return QString::number(s.axisAngleZ);
    if (name == "axisAngleX") return QString::number(s.axisAngleX);
    if (name == "initialRevolution") return QString::number(s.initialRevolution);
    return "?";
}

// One user action on a page: "orientation N", "direction N", "radiusRow N",
// "timeRow N", "radiusX n/d", "rateX n/d", "drag SLIDER V", "key SLIDER",
// "wheel SLIDER", "groove SLIDER", "focus SLIDER", "spin SPIN up|down",
// "type SPIN V"; several joined by ";".
void act(ControlColumn& c, const QString& action) {
    if (action.contains(';')) {
        for (const QString& one : action.split(';')) act(c, one);
        return;
    }
    QStringList w = action.split(' ');
    auto& space = c.space();
    auto pair = [&](const QString& n) {
        return n == "axisZ" ? space.axisZ() : n == "axisX" ? space.axisX() : space.revolution();
    };
    auto fraction = [](const QString& t) {
        QStringList nd = t.split('/');
        return Rational(nd[0].toInt(), nd[1].toInt());
    };
    if (w[0] == "orientation") space.orientation()->button(w[1].toInt())->click();
    if (w[0] == "direction") space.direction()->button(w[1].toInt())->click();
    if (w[0] == "radiusRow" || w[0] == "timeRow") {
        QListWidget* list = w[0] == "radiusRow" ? space.radiusList() : c.time().timeList();
        QRect row = list->visualItemRect(list->item(w[1].toInt()));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
        QCoreApplication::processEvents();  // the choice is acted on after the click
    }
    if (w[0] == "radiusX" || w[0] == "rateX") {
        c.exactAnswer = fraction(w[1]);
        (w[0] == "radiusX" ? space.exactButton() : c.time().exactButton())->click();
    }
    if (w[0] == "drag") {
        // What a thumb drag does: the slider is down while its position moves.
        QSlider* s = pair(w[1])->slider();
        s->setSliderDown(true);
        for (int v = 10; v <= w[2].toInt(); v += 10) s->setSliderPosition(v);
        s->setSliderDown(false);
    }
    if (w[0] == "key") QTest::keyClick(pair(w[1])->slider(), Qt::Key_PageUp);
    if (w[0] == "wheel") {
        QSlider* s = pair(w[1])->slider();
        QPointF at = s->rect().center();
        QWheelEvent wheel(at, s->mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton, {},
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(s, &wheel);
    }
    if (w[0] == "groove") {
        QSlider* s = pair(w[1])->slider();
        c.properties.sheet()->tabs()->setCurrentIndex(PropertySheet::kSpace);
        // The groove runs along the top; the ticks are under it.
        QTest::mouseClick(s, Qt::LeftButton, {}, QPoint(s->width() - 3, s->height() / 4));
    }
    if (w[0] == "focus") {
        QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
        QCoreApplication::sendEvent(pair(w[1])->slider(), &in);
    }
    if (w[0] == "spin")
        QTest::keyClick(pair(w[1])->spin(), w[2] == "up" ? Qt::Key_Up : Qt::Key_Down);
    if (w[0] == "type") {
        QSpinBox* spin = pair(w[1])->spin();
        spin->selectAll();
        QTest::keyClicks(spin, w[2]);
        QTest::keyClick(spin, Qt::Key_Return);
    }
}
}  // namespace

// After ops, the selected sphere's field before is set by action; then the
// field's value and the steps the history got (merged steps count once).
void SpherePagesTest::edits_data() {
    QTest::addColumn<QStringList>("ops");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("steps");
    const QStringList chain{"create", "create"};  // A(B(C(D))), D selected
    QTest::newRow("inside") << QStringList{} << "orientation 0"
                            << "inside"
                            << "1" << QStringList{"Orientation of B"};
    QTest::newRow("outside again changes nothing") << QStringList{} << "orientation 1"
                                                   << "inside"
                                                   << "0" << QStringList{};
    QTest::newRow("anti-clockwise") << QStringList{} << "direction 1"
                                    << "antiClockwise"
                                    << "1" << QStringList{"Direction of B"};
    QTest::newRow("current size reference again changes nothing")
        << (chain + QStringList{"select C"}) << "radiusRow 1"
        << "radiusReference"
        << "B" << QStringList{};
    QTest::newRow("another size reference") << (chain + QStringList{"select C"}) << "radiusRow 0"
                                            << "radiusReference"
                                            << "A" << QStringList{"Size reference of C"};
    QTest::newRow("another time reference")
        << (chain + QStringList{"time D B", "select D"}) << "timeRow 1"
        << "timeReference"
        << "C" << QStringList{"Time reference of D"};
    QTest::newRow("exact radius") << QStringList{} << "radiusX 8/3"
                                  << "radiusFactor"
                                  << "8/3" << QStringList{"Radius of B"};
    QTest::newRow("root has no radius X") << QStringList{"select A"} << "radiusX 8/3"
                                          << "radiusFactor"
                                          << "1/2" << QStringList{};
    QTest::newRow("exact rate") << (chain + QStringList{"select C"}) << "rateX 3/2"
                                << "rollingRate"
                                << "3/2" << QStringList{"Rolling rate of C"};
    QTest::newRow("time master keeps its rate") << QStringList{} << "rateX 3/2"
                                                << "rollingRate"
                                                << "1/1" << QStringList{};
    QTest::newRow("thumb drag is one step")
        << QStringList{} << "drag axisZ 90"
        << "axisAngleZ"
        << "90" << QStringList{"Rotation about parent axis of B"};
    QTest::newRow("page up acts as a drag does")
        << QStringList{} << "key axisX"
        << "axisAngleX"
        << "10" << QStringList{"Rotation about perpendicular axis of B"};
    QTest::newRow("a run of keys is one step")
        << QStringList{} << "key axisX;key axisX;key axisX"
        << "axisAngleX"
        << "30" << QStringList{"Rotation about perpendicular axis of B"};
    QTest::newRow("two drags are two steps")
        << QStringList{} << "drag axisZ 40;drag axisZ 90"
        << "axisAngleZ"
        << "90"
        << QStringList{"Rotation about parent axis of B", "Rotation about parent axis of B"};
    QTest::newRow("focus arriving starts a new run")
        << QStringList{} << "key axisX;focus axisX;key axisX"
        << "axisAngleX"
        << "20"
        << QStringList{"Rotation about perpendicular axis of B",
                       "Rotation about perpendicular axis of B"};
    QTest::newRow("wheel") << QStringList{} << "wheel revolution"
                           << "initialRevolution"
                           << "3" << QStringList{"Initial revolution angle of B"};
    QTest::newRow("click on the groove") << QStringList{} << "groove axisZ"
                                         << "axisAngleZ"
                                         << "10" << QStringList{"Rotation about parent axis of B"};

    QTest::newRow("spin click") << QStringList{} << "spin revolution up"
                                << "initialRevolution"
                                << "1" << QStringList{"Initial revolution angle of B"};
    QTest::newRow("spin at 0 clicked down stays")
        << QStringList{} << "spin axisX down"
        << "axisAngleX"
        << "0" << QStringList{"Rotation about perpendicular axis of B"};
    QTest::newRow("typed angle") << QStringList{} << "type axisZ 137"
                                 << "axisAngleZ"
                                 << "137" << QStringList{"Rotation about parent axis of B"};
}

void SpherePagesTest::edits() {
    QFETCH(QString, action);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QStringList, ops);
    QFETCH(QStringList, steps);
    ControlColumn c;
    c.runAll(ops);
    c.doc.setModifiedFlag(false);
    c.journal.steps.clear();
    c.journal.keys.clear();
    Sphere* s = c.doc.selectedSphere;
    act(c, action);
    QCOMPARE(fieldText(*s, field), value);
    // Drags and spin runs record many brackets with one key: one step.
    QCOMPARE(c.journal.merged(), steps);
    // Each slider and its spin show the same value, whatever moved them.
    for (SliderSpin* pair : {c.space().axisZ(), c.space().axisX(), c.space().revolution()})
        QCOMPARE(pair->slider()->value(), pair->spin()->value());
    // The View page's estimate is not left behind by the edit.
    auto* note = c.properties.sheet()->viewPage()->findChild<QLabel*>("accuracyNote");
    const QString estimate = note->text();
    c.doc.refreshViewPage();
    QCOMPARE(note->text(), estimate);
    QCOMPARE(c.journal.faults, QStringList());
    QCOMPARE(c.doc.isModified(), !steps.isEmpty());
    // The page shows what the sphere now holds.
    c.doc.refreshSpherePages();
    QCOMPARE(c.space().axisZ()->value(), static_cast<int>(s->axisAngleZ));
    QCOMPARE(c.space().readout()->text(), factorText(s->radiusFactor));
}

// X typed in place on the Space and Time pages, by keyboard, as the
// exact-value dialog takes it: the factor stored and shown exactly, or the
// rule's sentence beside the field and nothing changed.
void SpherePagesTest::typedFactor_data() {
    QTest::addColumn<bool>("rate");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("num");  // what the factor then is (num/den)
    QTest::addColumn<int>("den");
    QTest::addColumn<QString>("shown");    // the field afterwards
    QTest::addColumn<QString>("refusal");  // beside it ("" hidden)
    QTest::newRow("a third") << false << "1/3" << 1 << 3 << "1/3"
                             << "";
    QTest::newRow("whole and fraction") << false << "2 4/6" << 8 << 3 << "2 2/3"
                                        << "";
    QTest::newRow("decimal") << false << " 0.5 " << 1 << 2 << "1/2"
                             << "";
    QTest::newRow("improper fraction") << true << "7 / 2" << 7 << 2 << "3 1/2"
                                       << "";
    QTest::newRow("negative") << false << "-3" << 1 << 2 << "-3"
                              << "Radius must be greater than 0.";
    QTest::newRow("words") << true << "a third" << 1 << 1 << "a third"
                           << "\"a third\" is not a factor: write it as \"3\", \"3/2\", \"2 "
                              "4/6\" or \"0.5\".";
    QTest::newRow("denominator out of range")
        << false << "1/1001" << 1 << 2 << "1/1001"
        << "The denominator of radius must be from 1 to 1000.";
}

void SpherePagesTest::typedFactor() {
    QFETCH(bool, rate);
    QFETCH(QString, typed);
    QFETCH(int, num);
    QFETCH(int, den);
    QFETCH(QString, shown);
    QFETCH(QString, refusal);
    ControlColumn c;
    c.runAll({"create", "select C"});  // C: its radius and rate can change
    Sphere* s = c.doc.selectedSphere;
    RelationPage& page = rate ? static_cast<RelationPage&>(c.time()) : c.space();
    QLineEdit* field = page.readout();
    QVERIFY(!field->isReadOnly());
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, typed);
    QTest::keyClick(field, Qt::Key_Return);
    const Rational want(num, den);
    QCOMPARE(rate ? s->rollingRate : s->radiusFactor, want);
    QCOMPARE(field->text(), shown);
    QCOMPARE(page.refusal()->isHidden(), refusal.isEmpty());
    QCOMPARE(page.refusal()->text(), refusal.isEmpty() ? page.refusal()->text() : refusal);
    // The step is an edit like the dialog's, undone as one.
    QCOMPARE(c.journal.faults, QStringList());
}

// An angle as a file may hold it, and what the Space page shows for it.
void SpherePagesTest::storedAnglesShow_data() {
    QTest::addColumn<double>("stored");
    QTest::addColumn<int>("shown");
    QTest::newRow("whole") << 137.0 << 137;
    QTest::newRow("fraction toward zero") << 12.9 << 12;
    QTest::newRow("beyond the range") << 400.7 << 360;
    QTest::newRow("negative") << -5.0 << 0;
    QTest::newRow("beyond any int") << 1e300 << 0;
    QTest::newRow("not a number") << std::nan("") << 0;
    QTest::newRow("infinite") << -HUGE_VAL << 0;
}

void SpherePagesTest::storedAnglesShow() {
    QFETCH(double, stored);
    QFETCH(int, shown);
    ControlColumn c;
    c.doc.selectedSphere->axisAngleZ = stored;
    c.doc.refreshSpherePages();
    QCOMPARE(c.space().axisZ()->value(), shown);
    QCOMPARE(c.space().axisZ()->slider()->value(), shown);
}

// A control of a page by its text, object name or accessible name, and the
// value an assistive tool gives it (-1: its toggle action).
void SpherePagesTest::assistiveTools_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("value");
    const struct {
        int page;
        const char* control;
        int value;
    } rows[] = {
        {PropertySheet::kLight, "Solid (opaque)", -1},
        {PropertySheet::kLight, "Mesh", -1},
        {PropertySheet::kLight, "Texture", -1},
        {PropertySheet::kLight, "None", -1},
        {PropertySheet::kLight, "Rotation axis (child)", -1},
        {PropertySheet::kLight, "Perpendicular axis (child)", -1},
        {PropertySheet::kLight, "Revolution axis (parent)", -1},
        {PropertySheet::kLight, "Revolution great circle", -1},
        {PropertySheet::kLight, "Child to parent centers line", -1},
        {PropertySheet::kLight, "Show point paths", -1},
        {PropertySheet::kSpace, "inside parent", -1},
        {PropertySheet::kSpace, "anti-clockwise around parent", -1},
        {PropertySheet::kSpace, "axisZSlider", 90},
        {PropertySheet::kSpace, "axisXSpin", 45},
        {PropertySheet::kSpace, "revolutionSlider", 200},
        {PropertySheet::kSpace, "Initial revolution angle (value)", 7},
        {PropertySheet::kPoints, "pointZSlider", 30},
        {PropertySheet::kPoints, "Rotation about perpendicular axis (value)", 60},
        {PropertySheet::kPoints, "distanceSlider", 4},
        {PropertySheet::kDynamic, "Perform dynamic modifications", -1},
        {PropertySheet::kDynamic, "Axis relative to parent (Z axis)", -1},
        {PropertySheet::kDynamic, "Axis relative to parent (X axis)", -1},
        {PropertySheet::kView, "From orbit", -1},
        {PropertySheet::kView, "Keep automaton entirely in view", -1},
        {PropertySheet::kView, "Stereoscopic View  (anaglyph)", -1},
        {PropertySheet::kView, "accuracy", 80},
    };
    for (const auto& r : rows) QTest::newRow(r.control) << r.page << QString(r.control) << r.value;
}

void SpherePagesTest::assistiveTools() {
    QFETCH(int, page);
    QFETCH(QString, control);
    QFETCH(int, value);
    ControlColumn c;
    c.properties.sheet()->pointsPage()->findChild<QPushButton*>("addPoint")->click();
    UndoHistory history(c.doc);
    c.doc.journal = &history;
    QWidget* w = nullptr;
    for (QWidget* each : c.properties.sheet()->page(page)->findChildren<QWidget*>()) {
        auto* button = qobject_cast<QAbstractButton*>(each);
        if ((button && button->text() == control) || each->objectName() == control ||
            each->accessibleName() == control)
            w = each;
    }
    QVERIFY(w);
    QAccessibleInterface* tool = QAccessible::queryAccessibleInterface(w);
    auto shown = [&] {
        if (auto* button = qobject_cast<QAbstractButton*>(w)) return int(button->isChecked());
        return tool->valueInterface()->currentValue().toInt();
    };
    const std::string before = c.doc.takeSnapshot().bytes;
    const int shownBefore = shown();
    if (value < 0)
        tool->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    else
        tool->valueInterface()->setCurrentValue(value);
    const std::string after = c.doc.takeSnapshot().bytes;
    QVERIFY(after != before);
    QCOMPARE(history.stack().count(), 1);
    // A slider and its spin keep in step.
    if (auto* pair = qobject_cast<SliderSpin*>(w->parentWidget()))
        QCOMPARE(pair->slider()->value(), pair->spin()->value());
    history.stack().undo();
    QCOMPARE(c.doc.takeSnapshot().bytes, before);
    QCOMPARE(shown(), shownBefore);
    history.stack().redo();
    QCOMPARE(c.doc.takeSnapshot().bytes, after);
    c.doc.journal = nullptr;
}

// The edit history names each step with the label of the control that made
// it, so "Undo ..." says what the user touched; adding a point and moving
// one are different steps.
void SpherePagesTest::stepsNamedAfterControls_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("step");
    QTest::newRow("start angle") << int(PropertySheet::kSpace) << "revolutionSlider" << 200
                                 << "Initial revolution angle of B";
    QTest::newRow("tilt") << int(PropertySheet::kSpace) << "axisXSpin" << 45
                          << "Rotation about perpendicular axis of B";
    QTest::newRow("turn") << int(PropertySheet::kSpace) << "axisZSlider" << 90
                          << "Rotation about parent axis of B";
    QTest::newRow("add point") << int(PropertySheet::kPoints) << "Add new point" << -1
                               << "Add new point to B";
    QTest::newRow("move point") << int(PropertySheet::kPoints) << "pointZSlider" << 30
                                << "Rotation about sphere axis of point 1 of B";
    QTest::newRow("point distance") << int(PropertySheet::kPoints) << "distanceSlider" << 4
                                    << "Quantum distance from sphere center to point of point 1 "
                                       "of B";
    QTest::newRow("remove point") << int(PropertySheet::kPoints) << "Remove selected point" << -1
                                  << "Remove point 1 of B";
}

void SpherePagesTest::stepsNamedAfterControls() {
    QFETCH(int, page);
    QFETCH(QString, control);
    QFETCH(int, value);
    QFETCH(QString, step);
    ControlColumn c;
    // B has a point 1, chosen on the Points page.
    c.properties.sheet()->pointsPage()->findChild<QPushButton*>("addPoint")->click();
    UndoHistory history(c.doc);
    c.doc.journal = &history;
    QWidget* w = nullptr;
    for (QWidget* each : c.properties.sheet()->page(page)->findChildren<QWidget*>()) {
        auto* button = qobject_cast<QAbstractButton*>(each);
        if ((button && button->text() == control) || each->objectName() == control) w = each;
    }
    QVERIFY(w);
    if (value < 0)
        qobject_cast<QAbstractButton*>(w)->click();
    else
        QAccessible::queryAccessibleInterface(w)->valueInterface()->setCurrentValue(value);
    QCOMPARE(history.stack().count(), 1);
    QCOMPARE(history.stack().undoText(), step);
    c.doc.journal = nullptr;
}

// However the tree's selection changes (a screen reader's selection, a
// Ctrl+click on the highlighted item), the highlighted sphere stays the
// one CREATE and DESTROY act on.
void SpherePagesTest::treeSelection() {
    ControlColumn c;
    c.runAll({"create"});  // A(B(C)), C current
    QTreeWidgetItem* a = c.tree.itemOf(*c.named("A"));
    c.tree.selectionModel()->select(c.tree.model()->index(0, 0),
                                    QItemSelectionModel::ClearAndSelect);
    QCOMPARE(c.tree.currentItem(), a);
    QCOMPARE(c.doc.selectedSphere, c.named("A"));
    QTest::mouseClick(c.tree.viewport(), Qt::LeftButton, Qt::ControlModifier,
                      c.tree.visualItemRect(a).center());
    QVERIFY(a->isSelected());
    QCOMPARE(c.doc.selectedSphere, c.named("A"));
}

// A newcomer can point at any list, button, field or slider of the pages
// and the tree and be told what it does.
void SpherePagesTest::everyControlSaysWhatItDoes() {
    ControlColumn c;
    QStringList silent;
    QList<QWidget*> all = c.properties.findChildren<QWidget*>();
    all += c.construction.findChildren<QWidget*>();
    all << &c.tree;
    for (QWidget* w : all) {
        const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
                             qobject_cast<QAbstractSlider*>(w) ||
                             qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QLineEdit*>(w) ||
                             qobject_cast<QAbstractItemView*>(w);
        // A spin's own line edit and a tab bar's scroll buttons are parts
        // of a control, not controls of their own.
        if (!control || qobject_cast<QAbstractSpinBox*>(w->parentWidget()) ||
            qobject_cast<QTabBar*>(w->parentWidget()) || !(w->focusPolicy() & Qt::TabFocus) ||
            (w->window()->windowFlags() & Qt::Popup) == Qt::Popup)
            continue;
        // Its own, or its slider-and-spin pair's.
        QString tip = w->toolTip();
        if (auto* pair = qobject_cast<SliderSpin*>(w->parentWidget()); pair && tip.isEmpty())
            tip = pair->toolTip();
        if (tip.isEmpty())
            silent << QString("%1 %2 %3")
                          .arg(w->metaObject()->className(), w->objectName(), w->accessibleName());
    }
    QVERIFY2(silent.isEmpty(), qPrintable(silent.join(", ")));
}

QTEST_MAIN(SpherePagesTest)
#include "spherepages_test.moc"
