// The Light, Points, Dynamic and View pages: ALL mode, the colour icon
// rules, the point list and its refusals, the flash index, the view
// settings, and a stationary leaf that holds still.
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <utility>

#include "controlcolumn.h"
#include "dynamicpage.h"
#include "lightpage.h"
#include "pointspage.h"
#include "viewpage.h"

class LookPagesTest : public QObject {
    Q_OBJECT
  private slots:
    void light_data();
    void light();
    void nameTyped_data();
    void nameTyped();
    void colours_data();
    void colours();
    void points_data();
    void points();
    void settings_data();
    void settings();
    void stationaryLeafHoldsStill();
};

namespace {
LightPage& lightOf(ControlColumn& c) {
    return *c.properties.sheet()->lightPage();
}
PointsPage& pointsOf(ControlColumn& c) {
    return *c.properties.sheet()->pointsPage();
}
ViewPage& viewOf(ControlColumn& c) {
    return *c.properties.sheet()->viewPage();
}

// A value of every sphere in pre-order, e.g. "2 2 0".
QString perSphere(ControlColumn& c, const std::function<int(const Sphere&)>& value) {
    QStringList out;
    for (Sphere* s : treeSpheres(c.doc)) out << QString::number(value(*s));
    return out.join(' ');
}

void drag(QSlider* s, int to) {
    s->setSliderDown(true);
    s->setSliderPosition(to);
    s->setSliderDown(false);
}

// Page actions: "all", "surface N", "flag N" (a display box), "add",
// "remove", "row N", "drag z|x|d V", "spin z|x|d up|down", "perform", "dynZ",
// "orbit", "stationary", "keep", "accuracy V" (typed), "stereo", "scheme N",
// "pick N" (stationary list row).
void act(ControlColumn& c, const QString& action) {
    QStringList w = action.split(' ');
    auto& light = lightOf(c);
    auto& points = pointsOf(c);
    auto& view = viewOf(c);
    auto* dynamic = c.properties.sheet()->dynamicPage();
    auto pair = [&](const QString& n) {
        return n == "z" ? points.angleZ() : n == "x" ? points.angleX() : points.distance();
    };
    if (w[0] == "all") light.allBox()->click();
    if (w[0] == "surface") light.surface()->button(w[1].toInt())->click();
    if (w[0] == "flag") light.flag(w[1].toInt())->click();
    if (w[0] == "add") points.addButton()->click();
    if (w[0] == "remove") points.removeButton()->click();
    if (w[0] == "row") points.pointList()->setCurrentRow(w[1].toInt());
    if (w[0] == "refresh") c.doc.refreshSpherePages();  // as an undo does
    if (w[0] == "drag") drag(pair(w[1])->slider(), w[2].toInt());
    if (w[0] == "spin")
        QTest::keyClick(pair(w[1])->spin(), w[2] == "up" ? Qt::Key_Up : Qt::Key_Down);
    if (w[0] == "type") {
        ValueSpin* spin = pair(w[1])->spin();
        // A message box takes the focus from the spin once, as the real one
        // does; the spin then finishes its editing a second time.
        Prompts::message = [&c, spin, first = true](QWidget*, const QString& text) mutable {
            c.messages << text;
            if (!std::exchange(first, false)) return;
            QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
            QApplication::sendEvent(spin, &out);
        };
        spin->selectAll();
        QTest::keyClicks(spin, w[2]);
        QTest::keyClick(spin, Qt::Key_Return);
    }
    if (w[0] == "perform") dynamic->performBox()->click();
    if (w[0] == "dynZ") dynamic->axisZBox()->click();
    if (w[0] == "orbit") view.viewMode()->button(1)->click();
    if (w[0] == "stationary") view.viewMode()->button(0)->click();
    if (w[0] == "keep") view.keepInViewBox()->click();
    if (w[0] == "stereo") view.stereoBox()->click();
    if (w[0] == "scheme") {
        view.schemeBox()->setCurrentIndex(w[1].toInt());
        emit view.schemeBox()->activated(w[1].toInt());
    }
    if (w[0] == "accuracy") {
        view.accuracySpin()->selectAll();
        QTest::keyClicks(view.accuracySpin(), w[1]);
        QTest::keyClick(view.accuracySpin(), Qt::Key_Return);
    }
    if (w[0] == "pick") {
        QListWidget* list = view.stationaryList();
        QRect row = list->visualItemRect(list->item(w[1].toInt()));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
        QCoreApplication::processEvents();
    }
}
}  // namespace

// On A(B(C)) with C selected: the surfaces and point-path flags of A, B, C.
void LookPagesTest::light_data() {
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("surfaces");
    QTest::addColumn<QString>("paths");
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("one sphere") << QStringList{"surface 2"} << "1 1 2"
                                << "1 1 1" << QStringList{"Surface of C"};
    QTest::newRow("ALL mesh, then solid on one")
        << QStringList{"all", "surface 2", "all", "surface 0"} << "2 2 0"
        << "1 1 1" << QStringList{"Surface of all spheres", "Surface of C"};
    QTest::newRow("ALL sets the shown value, not a toggle")
        << QStringList{"all", "flag 5"} << "1 1 1"
        << "0 0 0" << QStringList{"Display of all spheres"};
    QTest::newRow("the same style again is no step") << QStringList{"surface 1"} << "1 1 1"
                                                     << "1 1 1" << QStringList{};
}

void LookPagesTest::light() {
    QFETCH(QStringList, actions);
    QFETCH(QString, surfaces);
    QFETCH(QString, paths);
    QFETCH(QStringList, steps);
    ControlColumn c;
    c.run("create");
    c.named("B")->showPointPaths = 0;  // ALL must not flip this one back on
    c.doc.refreshSpherePages();
    c.journal.steps.clear();
    for (const QString& a : actions) act(c, a);
    QCOMPARE(perSphere(c, [](const Sphere& s) { return s.surface; }), surfaces);
    if (actions.contains("flag 5"))
        QCOMPARE(perSphere(c, [](const Sphere& s) { return s.showPointPaths; }), paths);
    QCOMPARE(c.journal.steps, steps);
    QCOMPARE(c.journal.faults, QStringList());
    QCOMPARE(lightOf(c).nameBox()->text(), QString(" C"));
    // A new document switches ALL mode off.
    c.doc.newDocument();
    QVERIFY(!lightOf(c).allBox()->isChecked());
}

// NAME on the Light page takes a name typed and Enter, as the tree's own
// editor does: the same refusals, one step of the history.
void LookPagesTest::nameTyped_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("name");     // C's name afterwards
    QTest::addColumn<QString>("message");  // what the user is told ("" nothing)
    QTest::newRow("a new name") << "Moon"
                                << "Moon"
                                << "";
    QTest::newRow("spaces around it") << "  Io "
                                      << "Io"
                                      << "";
    QTest::newRow("another sphere's") << "B"
                                      << "C"
                                      << "A sphere named B already exists.";
    QTest::newRow("blank") << "   "
                           << "C" << Document::kNameEmpty;
}

void LookPagesTest::nameTyped() {
    QFETCH(QString, typed);
    QFETCH(QString, name);
    QFETCH(QString, message);
    ControlColumn c;
    c.run("create");  // C, selected
    c.journal.steps.clear();
    QLineEdit* box = lightOf(c).nameBox();
    QVERIFY(!box->isReadOnly());
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, typed);
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(QString::fromStdString(c.doc.selectedSphere->name), name);
    QCOMPARE(c.messages, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(c.journal.steps.size(), name == "C" ? 0 : 1);
    QCOMPARE(c.tree.itemOf(*c.doc.selectedSphere)->text(0).trimmed(), name);
}

// A sphere at a level gets new colours count times; then its image index,
// how many images the list holds, and whether the tree shows them all right.
void LookPagesTest::colours_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("image");
    QTest::addColumn<int>("images");
    // Images are never repainted: an undo gives back the old index, which
    // must still show the old colour.
    QTest::newRow("level 3: an image of its own") << 3 << 1 << 9 << 10;
    QTest::newRow("level 3 again: another image") << 3 << 2 << 10 << 11;
    QTest::newRow("level 7: the shared image stays") << 7 << 1 << 9 << 10;
    QTest::newRow("level 1") << 1 << 2 << 10 << 11;
}

void LookPagesTest::colours() {
    QFETCH(int, level);
    QFETCH(int, count);
    QFETCH(int, image);
    QFETCH(int, images);
    ControlColumn c;
    lightOf(c).setTree(&c.tree);
    // A chain down to level 8, and a second sphere at the level asked for.
    for (int i = 2; i <= 8; ++i) c.run("create");
    Sphere* above = c.named(QString(QChar('A' + level - 1)));
    c.select(sphereName(*above));
    c.run("create");
    Sphere* s = c.doc.selectedSphere;
    QCOMPARE(s->treeImage, level);
    std::uint32_t colour = rgb(10, 20, 30);
    Prompts::color = [&colour](QWidget*, std::uint32_t) { return colour += 0x10; };
    for (int i = 0; i < count; ++i) lightOf(c).colorButton()->click();
    QCOMPARE(s->color, colour);
    QCOMPARE(s->treeImage, image);
    QCOMPARE(c.swatches.count(), images);
    // Every item, including others sharing a repainted image, shows its colour.
    QCOMPARE(c.treeFault(), QString());
    QColor shown = lightOf(c).swatch()->palette().color(QPalette::Window);
    QCOMPARE(shown, SwatchList::toQColor(colour));
    QCOMPARE(c.journal.steps.count("Colour of " + sphereName(*s)), count);
}

// Point page actions on B; then the list, the selected entry, B's points as
// "z,x,d" each, the messages, and the document's flash index and state.
void LookPagesTest::points_data() {
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("coordinates");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("flash");
    QTest::addColumn<bool>("arrow");
    const QString six = PointsPage::kSixPoints;
    const QString zero = PointsPage::kPointZero;
    const QStringList five{"add", "add", "add", "add", "add"};
    QTest::newRow("new sphere") << QStringList{} << "0" << 0 << "0,0,0"
                                << "" << 0 << false;
    QTest::newRow("five added, then a refusal")
        << (five + QStringList{"add"}) << "0 1 2 3 4 5" << 5
        << "0,0,0 0,0,1 0,0,1 0,0,1 0,0,1 0,0,1" << six << 5 << false;
    QTest::newRow("removing point 3 renumbers")
        << (five + QStringList{"row 4", "drag z 40", "row 3", "remove"}) << "0 1 2 3 4" << 0
        << "0,0,0 0,0,1 0,0,1 40,0,1 0,0,1"
        << "" << 0 << true;
    QTest::newRow("a refresh keeps the chosen point")
        << QStringList{"add", "add", "row 1", "refresh"} << "0 1 2" << 1 << "0,0,0 0,0,1 0,0,1"
        << "" << 1 << false;
    QTest::newRow("point 0 refuses a spin")
        << QStringList{"spin z up"} << "0" << 0 << "0,0,0" << zero << 0 << false;
    QTest::newRow("a typed angle on point 0 is refused once")
        << QStringList{"type z 45"} << "0" << 0 << "0,0,0" << zero << 0 << false;
    QTest::newRow("point 0 cannot go")
        << QStringList{"remove"} << "0" << 0 << "0,0,0" << zero << 0 << false;
    QTest::newRow("a drag on point 0 springs back")
        << QStringList{"drag x 90"} << "0" << 0 << "0,0,0"
        << "" << 0 << false;
    QTest::newRow("moving a point flashes it")
        << QStringList{"add", "add", "row 1", "drag z 90", "spin x up", "spin d up"} << "0 1 2" << 1
        << "0,0,0 90,1,2 0,0,1"
        << "" << 1 << true;
    QTest::newRow("distance stays within 1 to 7")
        << QStringList{"add", "spin d down", "drag d 7", "spin d up"} << "0 1" << 1 << "0,0,0 0,0,7"
        << "" << 1 << true;
}

void LookPagesTest::points() {
    QFETCH(QStringList, actions);
    QFETCH(QString, list);
    QFETCH(int, selected);
    QFETCH(QString, coordinates);
    QFETCH(QString, message);
    QFETCH(int, flash);
    QFETCH(bool, arrow);
    ControlColumn c;
    for (const QString& a : actions) act(c, a);
    auto& page = pointsOf(c);
    QCOMPARE(entries(page.pointList()).join(' '), list);
    QCOMPARE(page.selectedPoint(), selected);
    QStringList xyz;
    for (const SpherePoint& p : c.doc.selectedSphere->points)
        xyz << QString("%1,%2,%3").arg(p.pointAngleZ).arg(p.pointAngleX).arg(p.quantumDistance);
    QCOMPARE(xyz.join(' '), coordinates);
    QCOMPARE(c.messages.join(""), message);
    QCOMPARE(c.doc.flashPointIndex.load(), flash);
    // Only moving a point starts the arrow; the controls show the point.
    QCOMPARE(c.doc.flashActive.load(), arrow ? 1 : 0);
    const SpherePoint& p = c.doc.selectedSphere->points[static_cast<std::size_t>(selected)];
    QCOMPARE(page.angleZ()->slider()->value(), static_cast<int>(p.pointAngleZ));
    QCOMPARE(page.angleX()->slider()->value(), static_cast<int>(p.pointAngleX));
    QCOMPARE(c.journal.faults, QStringList());
}

// Dynamic and View page actions; then a document or sphere field as text.
void LookPagesTest::settings_data() {
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("keepEnabled");
    QTest::newRow("orbit greys keep-in-view") << QStringList{"orbit"} << "viewFromStationary"
                                              << "0" << false;
    QTest::newRow("and back") << QStringList{"orbit", "stationary"} << "viewFromStationary"
                              << "1" << true;
    QTest::newRow("keep in view fits the camera") << QStringList{"keep"} << "cameraDistance"
                                                  << "-5.81" << true;
    QTest::newRow("accuracy 0") << QStringList{"accuracy 0"} << "pathStep"
                                << "0.5" << true;
    QTest::newRow("accuracy 50") << QStringList{"accuracy 0", "accuracy 50"} << "pathStep"
                                 << "0.25005" << true;
    QTest::newRow("accuracy 100") << QStringList{"accuracy 100"} << "pathStep"
                                  << "0.0001" << true;
    QTest::newRow("stereo") << QStringList{"stereo"} << "stereo"
                            << "1" << true;
    QTest::newRow("scheme cyan/red") << QStringList{"scheme 5"} << "anaglyphScheme"
                                     << "6" << true;
    QTest::newRow("an axis stored while not dynamic") << QStringList{"dynZ"} << "dynamicAxisZ"
                                                      << "1" << true;
    QTest::newRow("dynamic") << QStringList{"perform"} << "dynamic"
                             << "1" << true;
}

void LookPagesTest::settings() {
    QFETCH(QStringList, actions);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(bool, keepEnabled);
    ControlColumn c;
    c.doc.cameraDistance = -40;  // so that a fit shows
    for (const QString& a : actions) act(c, a);
    Document& d = c.doc;
    Sphere& b = *d.selectedSphere;
    const QMap<QString, QString> fields{
        {"viewFromStationary", QString::number(d.viewFromStationary)},
        {"cameraDistance", QString::number(d.cameraDistance, 'f', 2)},
        {"pathStep", QString::number(d.pathStep)},
        {"stereo", QString::number(d.stereo)},
        {"anaglyphScheme", QString::number(d.anaglyphScheme)},
        {"dynamicAxisZ", QString::number(b.dynamicAxisZ)},
        {"dynamic", QString::number(b.dynamic)}};
    QCOMPARE(fields.value(field), value);
    QCOMPARE(viewOf(c).keepInViewBox()->isEnabled(), keepEnabled);
    QCOMPARE(c.journal.steps.size(), actions.size());
    QCOMPARE(c.journal.faults, QStringList());
    QVERIFY(d.isModified());
    // What the page shows survives a refresh from the document.
    d.refreshViewPage();
    QCOMPARE(viewOf(c).accuracySpin()->value(), d.pathAccuracy);
    QVERIFY(viewOf(c).accuracyNote()->text().startsWith("step " + QString::number(d.pathStep)));
}

void LookPagesTest::stationaryLeafHoldsStill() {
    ControlColumn c;
    c.run("create");  // A(B(C)), C a leaf
    // B turns its axis every frame, so the frames differ.
    c.select("B");
    act(c, "dynZ");
    act(c, "perform");
    act(c, "pick 2");
    QCOMPARE(c.doc.stationarySphere, c.named("C"));
    QCOMPARE(c.journal.steps.last(), QString("Stationary sphere"));
    QSet<QString> rootPlaces;
    for (int frame = 0; frame < 5; ++frame) {
        c.doc.step();
        QVERIFY(length(c.named("C")->center) < 1e-9);
        const Vec3& a = c.named("A")->center;
        rootPlaces << QString("%1 %2 %3").arg(a.x).arg(a.y).arg(a.z);
    }
    QVERIFY(rootPlaces.size() > 1);  // everything else moves around C
    // Choosing the root again gives the default view back.
    act(c, "pick 0");
    c.doc.step();
    QVERIFY(length(c.named("A")->center) < 1e-9);
}

QTEST_MAIN(LookPagesTest)
#include "lookpages_test.moc"
