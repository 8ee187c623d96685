#pragma once
// A prompter that records every message and question and answers from a script.

#include "guikit/Prompter.h"

#include <QStringList>

#include <deque>

class ScriptedPrompter : public guikit::Prompter {
  public:
    QStringList messages;
    QStringList questions;
    std::deque<bool> confirmAnswers;            // empty: Cancel
    std::deque<guikit::SaveAnswer> saveAnswers; // empty: Cancel
    std::deque<QString> fileAnswers;            // empty: dismissed
    QStringList fileFilters, fileStarts;

    void inform(const QString& text) override { messages << text; }
    bool confirm(const QString& text) override
    {
        questions << text;
        return pop(confirmAnswers, false);
    }
    // Yes / No questions are answered from the same script as OK / Cancel.
    bool askYesNo(const QString& text) override { return confirm(text); }
    guikit::SaveAnswer askSave(const QString& text) override
    {
        questions << text;
        return pop(saveAnswers, guikit::SaveAnswer::Cancel);
    }
    QString openFile(const QString& filter, const QString& start) override { return file(filter, start); }
    QString saveFile(const QString& filter, const QString& start, const QString&) override
    {
        return file(filter, start);
    }

  private:
    template <typename T> static T pop(std::deque<T>& q, T otherwise)
    {
        if (q.empty())
            return otherwise;
        T v = q.front();
        q.pop_front();
        return v;
    }
    QString file(const QString& filter, const QString& start)
    {
        fileFilters << filter;
        fileStarts << start;
        return pop(fileAnswers, QString());
    }
};
