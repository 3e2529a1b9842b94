// The construction panel: CREATE, TEMPLATE and DESTROY for the selected
// sphere, each one step of the edit history.
#pragma once

#include <QWidget>

class Document;
class QPushButton;

class ConstructionPanel : public QWidget {
    Q_OBJECT
  public:
    explicit ConstructionPanel(QWidget* parent = nullptr);
    void setDocument(Document* doc) { doc_ = doc; }

    QPushButton* createButton() const { return create_; }
    QPushButton* templateButton() const { return template_; }
    QPushButton* destroyButton() const { return destroy_; }

    // The three operations as the buttons (and the tree's Delete key) run
    // them. With ask, a sphere that has children is destroyed only after
    // the user agreed.
    static void createChild(Document& doc);
    static void makeTemplate(Document& doc);
    static void destroySelected(Document& doc, QWidget* parent = nullptr, bool ask = false);

  private:
    Document* doc_ = nullptr;
    QPushButton* create_;
    QPushButton* template_;
    QPushButton* destroy_;
};
