// The pieces every property page is built from: the page base with its
// guard and its one way of applying an edit, a slider paired with its spin,
// a list of spheres in pre-order, and the prompts the pages show.
#pragma once

#include <QGroupBox>
#include <QListWidget>
#include <QSpinBox>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>

#include "editjournal.h"  // the Followup flags of apply
#include "rational.h"
#include "relations.h"

class Document;
class QLabel;
class QSlider;
struct Sphere;

// The prompts of the pages, replaceable so that tests answer them without
// opening a window. UI thread only.
struct Prompts {
    // A message box with an OK button.
    static std::function<void(QWidget* parent, const QString& text)> message;
    // A Yes/No question; true for Yes.
    static std::function<bool(QWidget* parent, const QString& text)> confirm;
    // " Set an exact value of X" for the factor now held; empty when cancelled.
    static std::function<std::optional<Rational>(QWidget* parent, Rational current)> exactX;
    // The colour dialog, colours as 0x00BBGGRR; empty when cancelled.
    static std::function<std::optional<std::uint32_t>(QWidget* parent, std::uint32_t current)>
        color;
    // Puts the defaults back.
    static void restoreDefaults();
};

// A titled group around inner, spaced tightly enough for the control
// column's height.
class QLayout;
QGroupBox* group(const QString& title, QLayout* inner);
// The same around widgets placed one under another.
QGroupBox* group(const QString& title, std::initializer_list<QWidget*> widgets);
// The page's own column, just as tight.
class QVBoxLayout;
QVBoxLayout* pageColumn(QWidget* page);

// A sphere's name as the window shows it.
QString sphereName(const Sphere& s);
// A factor as its field shows it: exactly, "3", "1/3" or "2 2/3".
QString factorText(Rational x);

// One page of the sphere property sheet. A page does nothing until it has
// its document; the pages that edit the selected sphere do nothing unless
// one is selected (the guard), and show their controls disabled meanwhile.
class PropertyPage : public QWidget {
    Q_OBJECT
  public:
    explicit PropertyPage(const QString& title, QWidget* parent = nullptr);

    QString title() const { return title_; }
    void setDocument(Document* doc);
    Document* document() const { return doc_; }

    // Reloads the controls from the document (the selected sphere, or the
    // view settings).
    virtual void refresh() {}

  protected:
    // The document is there, has spheres and one of them is selected.
    bool guard() const;
    // The selected sphere when the guard holds, else null.
    Sphere* sphere() const;

    // The one way a page changes the document: change runs, then the
    // follow-ups; the document is marked modified and the window draws the
    // result. The whole sequence is one step of the edit history named
    // step; steps with the same non-zero mergeKey in a row are one step (a
    // slider drag, a run of clicks on a spin).
    void apply(const QString& step, int mergeKey, unsigned followups,
               const std::function<void()>& change);
    // "<what> of <selected sphere's name>".
    QString stepName(const QString& what) const;
    // A merge key for a control of the selected sphere: the same control
    // of another sphere is another step.
    int mergeKey(int controlId) const;
    // Every view repaints (the framework's update-all-views).
    void updateAllViews();

  private:
    QString title_;
    Document* doc_ = nullptr;
};

// Ends the run of merging edits that the control's page is in: the next
// edit of the same control is a step of its own. Controls call it where a
// new run of input begins (a press on a slider, the focus arriving).
void endEditRun(QWidget* control);

// A spin whose clicks and typed entries are offered to its owner before
// they count: every click is reported, also one that stays at a bound (so
// 360 clicked upwards applies 360 again), and a refused one leaves the
// spin where it was. A value set any other way (an assistive tool setting
// it) is offered just the same.
class ValueSpin : public QSpinBox {
    Q_OBJECT
  public:
    explicit ValueSpin(QWidget* parent = nullptr);
    // Shows v without offering it.
    void show(int v);
    // Offered each new value (clamped to the range); false refuses it.
    std::function<bool(int)> offer;
    void stepBy(int steps) override;

  protected:
    StepEnabled stepEnabled() const override;
    void focusInEvent(QFocusEvent* event) override;

  private:
    void typed();
    int shown_ = 0;
    // A value is being offered: the focus leaving for the owner's message
    // box finishes the editing again, which must not offer (and refuse) the
    // same value a second time.
    bool offering_ = false;
};

// A slider and its spin over one value, with the caption above and the
// range's ends under the slider. Every change of the slider acts, however
// it is made (drag, keys, wheel, a click on the groove, an assistive tool),
// and the spin follows; the spin acts on every click and on a typed number,
// and the slider follows. One drag is one run of edits, and so is a run of
// keys or spin clicks while the focus stays.
class SliderSpin : public QWidget {
    Q_OBJECT
  public:
    SliderSpin(const QString& caption, int minimum, int maximum, const QString& toolTip,
               QWidget* parent = nullptr);
    // Shows v on both without acting.
    void setValue(int v);
    // Shows a stored value, whole units toward zero; a value a file made
    // unrepresentable (not finite, or beyond any int) shows as 0.
    void showStored(double v);
    int value() const;
    QSlider* slider() const { return slider_; }
    ValueSpin* spin() const { return spin_; }

    // Asked with each new value from the slider or (fromSpin) the spin;
    // false refuses it (the spin stays, the slider is set back).
    std::function<bool(int value, bool fromSpin)> onChange;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QSlider* slider_;
    ValueSpin* spin_;
};

// A list box of spheres in pre-order from the root; the list remembers
// which sphere each row stands for.
class SphereList : public QListWidget {
    Q_OBJECT
  public:
    SphereList(ListKind kind, QWidget* parent = nullptr);
    // Empties the list and fills it from the document; selects the entry of
    // selected (when listed). Offers nothing.
    void fill(Document& doc, const Sphere* selected);
    void empty();
    // Called with the sphere of an entry the user chooses.
    std::function<void(Sphere*)> onChoose;

  private:
    ListKind kind_;
    std::vector<Sphere*> rows_;
};
