#include "dialup_entry_list.h"

namespace ringlark {

void DialUpEntryList::clear()
{
    m_items.clear();
    m_selection = -1;
    m_editText.clear();
    emit itemsChanged();
    emit selectionChanged(m_selection);
    emit editTextChanged(m_editText);
}

void DialUpEntryList::addItem(const QString &name)
{
    m_items.append(name);
    emit itemsChanged();
}

QString DialUpEntryList::itemText(int index) const
{
    return index >= 0 && index < count() ? m_items.at(index) : QString();
}

void DialUpEntryList::setSelection(int index)
{
    if (index < -1 || index >= count())
        index = -1;
    const bool changed = index != m_selection;
    m_selection = index;
    const QString text = index >= 0 ? m_items.at(index) : QString();
    if (text != m_editText) {
        m_editText = text;
        emit editTextChanged(m_editText);
    }
    if (changed)
        emit selectionChanged(m_selection);
}

void DialUpEntryList::setEditText(const QString &text)
{
    if (text != m_editText) {
        m_editText = text;
        emit editTextChanged(m_editText);
    }
    // A text that is not exactly the selected item must not leave a stale entry chosen.
    if (m_selection >= 0 && m_items.at(m_selection) == text)
        return;
    const int index = static_cast<int>(m_items.lastIndexOf(text));
    if (index != m_selection) {
        m_selection = index;
        emit selectionChanged(m_selection);
    }
}

bool DialUpEntryList::selectExact(const QString &name)
{
    int found = -1;
    for (int i = 0; i < count(); ++i)
        if (m_items.at(i) == name)
            found = i;
    if (found < 0)
        return false;
    setSelection(found);
    return true;
}

} // namespace ringlark
