// The shared page kit: guard, apply, slider with spin, sphere lists, prompts.
#include "pagekit.h"

#include <QApplication>
#include <QColorDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QSlider>
#include <algorithm>
#include <cmath>

#include "document.h"
#include "documentobserver.h"
#include "documentrules.h"
#include "editjournal.h"
#include "exactvaluedialog.h"
#include "placement.h"
#include "sphere.h"
#include "textcoding.h"

// ---------------------------------------------------------------- prompts

namespace {
void defaultMessage(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, "Rotundel", text);
}
bool defaultConfirm(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, "Rotundel", text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}
std::optional<Rational> defaultExactX(QWidget* parent, Rational current) {
    ExactValueDialog dialog(parent);
    dialog.prefill(current);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.result();
}
std::optional<std::uint32_t> defaultColor(QWidget* parent, std::uint32_t current) {
    QColor start(current & 0xff, (current >> 8) & 0xff, (current >> 16) & 0xff);
    QColor c = QColorDialog::getColor(start, parent, "Color");
    if (!c.isValid()) return std::nullopt;
    return rgb(c.red(), c.green(), c.blue());
}
}  // namespace

std::function<void(QWidget*, const QString&)> Prompts::message = defaultMessage;
std::function<bool(QWidget*, const QString&)> Prompts::confirm = defaultConfirm;
std::function<std::optional<Rational>(QWidget*, Rational)> Prompts::exactX = defaultExactX;
std::function<std::optional<std::uint32_t>(QWidget*, std::uint32_t)> Prompts::color = defaultColor;

void Prompts::restoreDefaults() {
    message = defaultMessage;
    confirm = defaultConfirm;
    exactX = defaultExactX;
    color = defaultColor;
}

QGroupBox* group(const QString& title, QLayout* inner) {
    auto* box = new QGroupBox(title);
    inner->setContentsMargins(6, 2, 6, 4);
    inner->setSpacing(2);
    box->setLayout(inner);
    return box;
}

QGroupBox* group(const QString& title, std::initializer_list<QWidget*> widgets) {
    auto* column = new QVBoxLayout;
    for (QWidget* w : widgets) column->addWidget(w);
    return group(title, column);
}

QVBoxLayout* pageColumn(QWidget* page) {
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(4);
    return column;
}

QString sphereName(const Sphere& s) {
    return QString::fromStdString(utf8Text(s.name));
}

QString factorText(Rational x) {
    return QString::fromStdString(rules::exactText(x));
}

// ---------------------------------------------------------------- page

PropertyPage::PropertyPage(const QString& title, QWidget* parent) : QWidget(parent), title_(title) {
    setObjectName(title.trimmed().toLower() + "Page");
}

void PropertyPage::setDocument(Document* doc) {
    doc_ = doc;
}

bool PropertyPage::guard() const {
    return doc_ && doc_->sphereCount > 0 && doc_->selectedSphere;
}

Sphere* PropertyPage::sphere() const {
    return guard() ? doc_->selectedSphere : nullptr;
}

QString PropertyPage::stepName(const QString& what) const {
    Sphere* s = sphere();
    return s ? what + " of " + sphereName(*s) : what;
}

int PropertyPage::mergeKey(int controlId) const {
    // Slots run below 512, control ids below 4096: the key stays positive.
    int slot = doc_ ? doc_->slotOf(doc_->selectedSphere) : -1;
    return controlId << 9 | (slot + 1);
}

void PropertyPage::updateAllViews() {
    if (doc_ && doc_->observer()) doc_->observer()->updateAllViews();
}

void PropertyPage::apply(const QString& step, int mergeKey, unsigned followups,
                         const std::function<void()>& change) {
    if (doc_) doc_->applyEdit(step.toStdString(), mergeKey, followups, change);
}

void endEditRun(QWidget* control) {
    for (QWidget* w = control; w; w = w->parentWidget()) {
        auto* page = qobject_cast<PropertyPage*>(w);
        if (!page) continue;
        if (Document* doc = page->document(); doc && doc->journal) doc->journal->endRun();
        return;
    }
}

// ---------------------------------------------------------------- spin

ValueSpin::ValueSpin(QWidget* parent) : QSpinBox(parent) {
    // A typed number counts once, on Enter or when the field is left.
    setKeyboardTracking(false);
    connect(this, &QAbstractSpinBox::editingFinished, this, &ValueSpin::typed);
    // Whatever else sets the value (an assistive tool) is offered as well;
    // the spin's own showing is silent and never comes here.
    connect(this, &QSpinBox::valueChanged, this, &ValueSpin::typed);
}

void ValueSpin::focusInEvent(QFocusEvent* event) {
    endEditRun(this);
    QSpinBox::focusInEvent(event);
}

void ValueSpin::show(int v) {
    QSignalBlocker hold(this);
    shown_ = std::clamp(v, minimum(), maximum());
    setValue(shown_);
}

void ValueSpin::stepBy(int steps) {
    int v = static_cast<int>(
        std::clamp<long long>(static_cast<long long>(shown_) + steps, minimum(), maximum()));
    if (offer && !offer(v)) {
        show(shown_);
        return;
    }
    show(v);
}

QAbstractSpinBox::StepEnabled ValueSpin::stepEnabled() const {
    // Both arrows stay live at the ends: a click there applies the end
    // value again, as the owner may want to know.
    return isReadOnly() ? StepNone : StepUpEnabled | StepDownEnabled;
}

void ValueSpin::typed() {
    int v = value();
    if (v == shown_ || offering_) return;
    offering_ = true;
    const bool taken = !offer || offer(v);
    offering_ = false;
    show(taken ? v : shown_);
}

// ---------------------------------------------------------------- slider with spin

SliderSpin::SliderSpin(const QString& caption, int minimum, int maximum, const QString& toolTip,
                       QWidget* parent)
    : QWidget(parent) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(0);
    auto* label = new QLabel(caption);
    slider_ = new QSlider(Qt::Horizontal);
    slider_->setRange(minimum, maximum);
    // Ticks at every twentieth of the range, in whole units.
    slider_->setTickInterval((maximum - minimum) / 20);
    slider_->setTickPosition(QSlider::TicksBelow);
    slider_->setToolTip(toolTip);
    slider_->setAccessibleName(caption.trimmed().remove(':'));
    spin_ = new ValueSpin;
    spin_->setRange(minimum, maximum);
    spin_->setToolTip(toolTip);
    spin_->setAccessibleName(caption.trimmed().remove(':') + " (value)");
    spin_->setMinimumWidth(60);
    label->setBuddy(slider_);
    auto* low = new QLabel(QString::number(minimum));
    auto* high = new QLabel(QString::number(maximum));
    high->setAlignment(Qt::AlignRight);
    grid->addWidget(label, 0, 0, 1, 3);
    label->setVisible(!caption.isEmpty());
    grid->addWidget(slider_, 1, 0, 1, 2);
    grid->addWidget(spin_, 1, 2);
    grid->addWidget(low, 2, 0);
    grid->addWidget(high, 2, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    setFocusProxy(slider_);

    // Every change of the slider acts, as its thumb's drag does; the
    // owner's refreshes are silent and never come here.
    connect(slider_, &QSlider::valueChanged, this, [this](int v) {
        if (!onChange || onChange(v, false)) {
            spin_->show(v);
            return;
        }
        QSignalBlocker hold(slider_);
        slider_->setValue(spin_->value());
    });
    // A drag is a run of its own: it starts one and ends it.
    connect(slider_, &QSlider::sliderPressed, this, [this] { endEditRun(this); });
    connect(slider_, &QSlider::sliderReleased, this, [this] { endEditRun(this); });
    slider_->installEventFilter(this);
    spin_->offer = [this](int v) {
        if (onChange && !onChange(v, true)) return false;
        QSignalBlocker hold(slider_);
        slider_->setValue(v);
        return true;
    };
}

bool SliderSpin::eventFilter(QObject* watched, QEvent* event) {
    // A click on the groove and the focus arriving start a new run too;
    // keys and the wheel then join the run until one of these comes.
    if (watched == slider_ &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::FocusIn))
        endEditRun(this);
    return QWidget::eventFilter(watched, event);
}

void SliderSpin::setValue(int v) {
    QSignalBlocker hold(slider_);
    slider_->setValue(v);
    spin_->show(v);
}

void SliderSpin::showStored(double v) {
    const bool fits = std::isfinite(v) && std::fabs(v) < 2147483647.0;
    setValue(fits ? static_cast<int>(v) : 0);
}

int SliderSpin::value() const {
    return spin_->value();
}

// ---------------------------------------------------------------- sphere list

SphereList::SphereList(ListKind kind, QWidget* parent) : QListWidget(parent), kind_(kind) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    // The choice is acted on once the list has finished handling the click:
    // acting refills the list, which must not happen under the click's feet.
    connect(
        this, &QListWidget::currentRowChanged, this,
        [this](int row) {
            if (row < 0 || row != currentRow() || !onChoose) return;
            if (static_cast<std::size_t>(row) < rows_.size()) onChoose(rows_[row]);
        },
        Qt::QueuedConnection);
}

void SphereList::fill(Document& doc, const Sphere* selected) {
    QSignalBlocker hold(this);
    clear();
    rows_ = fillList(doc, kind_, doc.selectedSphere);
    int pick = -1;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        addItem(sphereName(*rows_[i]));
        if (rows_[i] == selected) pick = static_cast<int>(i);
    }
    setCurrentRow(pick);
    if (pick < 0) clearSelection();
}

void SphereList::empty() {
    QSignalBlocker hold(this);
    clear();
    rows_.clear();
}
