#pragma once

#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;

// Asks for the name of a new favorites folder and hands it, exactly as typed,
// to a callback. A window-modal sheet that deletes itself when closed.
class NewFolderSheet : public QDialog {
    Q_OBJECT
public:
    using CreateCallback = std::function<void(const QString& name)>;

    static constexpr int sheetWidth = 300;
    static constexpr int sheetHeight = 150;

    explicit NewFolderSheet(CreateCallback onCreate, QWidget* parent = nullptr);

    QLineEdit* nameField() const { return m_nameField; }
    QPushButton* createButton() const { return m_createButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }

private:
    void create();

    CreateCallback m_onCreate;
    QLineEdit* m_nameField;
    QPushButton* m_createButton;
    QPushButton* m_cancelButton;
};
