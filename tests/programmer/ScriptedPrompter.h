#pragma once
// A prompter that records every message and question and answers from a script.

#include "taskloom_base/Prompter.h"

#include <QStringList>

#include <deque>

class ScriptedPrompter : public programmer::Prompter {
  public:
    QStringList messages;
    QStringList questions;
    std::deque<bool> confirmAnswers;                // empty: Cancel
    std::deque<programmer::SaveAnswer> saveAnswers; // empty: Cancel
    std::deque<QString> fileAnswers;                // empty: dismissed
    QStringList fileFilters, fileStarts;

    void message(const QString& text) override { messages << text; }
    bool confirm(const QString& text) override
    {
        questions << text;
        return pop(confirmAnswers, false);
    }
    programmer::SaveAnswer askSave(const QString& text) override
    {
        questions << text;
        return pop(saveAnswers, programmer::SaveAnswer::Cancel);
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
