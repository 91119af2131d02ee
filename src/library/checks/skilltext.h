#pragma once

#include <QString>
#include <QStringView>

// Where a file's frontmatter block and body lie, by line (from 1).
struct SkillTextParts {
    bool opens = false;  // the first line is "---"
    bool closes = false; // a later line is "---"
    int closingLine = 0;
    QStringView block;   // between the fences
    QStringView body;    // after the closing fence; the whole text without a block
    int bodyFirstLine = 1;
};

SkillTextParts splitSkillText(QStringView text);
