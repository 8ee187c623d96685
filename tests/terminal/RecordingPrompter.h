#pragma once
// A prompter that records every message and answers file dialogs and questions from a script.

#include "termsession/Prompter.h"

#include <deque>
#include <string>
#include <vector>

class RecordingPrompter : public terminal::Prompter {
  public:
    struct Message {
        std::string text, detail;
    };
    std::vector<Message> errors;
    std::vector<std::string> questions;
    std::deque<std::string> fileAnswers; // empty string: dismissed
    std::deque<bool> overwriteAnswers;
    std::vector<std::string> fileTitles;

    void error(const std::string& text, const std::string& detail) override
    {
        errors.push_back({text, detail});
    }
    bool confirmOverwrite(const std::string& text) override
    {
        questions.push_back(text);
        if (overwriteAnswers.empty())
            return false;
        bool answer = overwriteAnswers.front();
        overwriteAnswers.pop_front();
        return answer;
    }
    std::string openFile(const std::string& title, const std::string&) override { return answer(title); }
    std::string saveFile(const std::string& title, const std::string&) override { return answer(title); }

  private:
    std::string answer(const std::string& title)
    {
        fileTitles.push_back(title);
        if (fileAnswers.empty())
            return {};
        std::string a = fileAnswers.front();
        fileAnswers.pop_front();
        return a;
    }
};
