#pragma once

#include <QObject>
#include <QStringList>

namespace ringlark {

// The dial-up entry list with its selection: filled once at start-up, shown by the settings
// dialog's Combo1, and read by the dial command. It lives for the whole run, whether the
// dialog is shown or not.
class DialUpEntryList : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    void clear();
    void addItem(const QString &name);
    int count() const { return static_cast<int>(m_items.size()); }
    QString itemText(int index) const;
    const QStringList &items() const { return m_items; }

    // -1 means that no entry is chosen.
    int selection() const { return m_selection; }
    void setSelection(int index);

    // The text shown in the list's edit field; follows the selection, or what the user typed.
    QString editText() const { return m_editText; }
    // A typed text selects nothing unless it is exactly an item.
    void setEditText(const QString &text);

    // Selects every item equal to name (whole text, case-sensitive): the last equal one wins.
    // Returns false, changing nothing, when no item is equal.
    bool selectExact(const QString &name);

signals:
    void itemsChanged();
    void selectionChanged(int index);
    void editTextChanged(const QString &text);

private:
    QStringList m_items;
    int m_selection = -1;
    QString m_editText;
};

} // namespace ringlark
