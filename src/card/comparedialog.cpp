#include "card/comparedialog.h"

#include "common/monospacefont.h"
#include "common/palettecolors.h"
#include "library/catalogue/homepath.h"
#include "library/disk/regularfile.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextBlock>
#include <QVBoxLayout>

namespace {

// The file's text, or why there is none.
QString readText(const QString &path, QString *error)
{
    const RegularFileRead file = readRegularFile(path);
    if (file.status != RegularFileRead::Status::Ok) {
        *error = unreadReason(file);
        return QString();
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    return decoder.decode(file.bytes);
}

QLabel *pathLabel(const QString &path, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(abbreviateHome(path));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QPlainTextEdit *sideView(const QString &name, QWidget *parent)
{
    auto *view = new QPlainTextEdit(parent);
    view->setObjectName(name);
    view->setReadOnly(true);
    view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setFont(MonospaceFont::system());
    view->setUndoRedoEnabled(false);
    return view;
}

} // namespace

CompareDialog::CompareDialog(const QString &leftPath, const QString &rightPath, QWidget *parent)
    : QDialog(parent)
    , m_leftPath(leftPath)
    , m_rightPath(rightPath)
    , m_left(sideView(QStringLiteral("compareLeft"), this))
    , m_right(sideView(QStringLiteral("compareRight"), this))
    , m_summary(new QLabel(this))
{
    setObjectName(QStringLiteral("compareDialog"));
    setWindowTitle(tr("Compare Copies"));
    m_summary->setObjectName(QStringLiteral("compareSummary"));
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setWordWrap(true);
    m_left->setAccessibleName(tr("This skill's file"));
    m_right->setAccessibleName(tr("The other file"));

    auto *sides = new QGridLayout;
    sides->setHorizontalSpacing(8);
    m_leftName = pathLabel(leftPath, this);
    m_rightName = pathLabel(rightPath, this);
    sides->addWidget(m_leftName, 0, 0);
    sides->addWidget(m_rightName, 0, 1);
    sides->addWidget(m_left, 1, 0);
    sides->addWidget(m_right, 1, 1);
    sides->setRowStretch(1, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(sides, 1);
    layout->addWidget(m_summary);
    layout->addWidget(buttons);

    // One scroll for both: a line stays beside its match.
    for (auto [from, to] : {std::pair{m_left, m_right}, std::pair{m_right, m_left}}) {
        QPlainTextEdit *target = to;
        connect(from->verticalScrollBar(), &QScrollBar::valueChanged, target->verticalScrollBar(), &QScrollBar::setValue);
        connect(from->horizontalScrollBar(), &QScrollBar::valueChanged, target->horizontalScrollBar(),
                &QScrollBar::setValue);
    }
    fill();
    tint();
    resize(980, 620);
    buttons->button(QDialogButtonBox::Close)->setFocus();
}

void CompareDialog::setSideNames(const QString &left, const QString &right)
{
    m_leftName->setText(left);
    m_rightName->setText(right);
    m_left->setAccessibleName(left);
    m_right->setAccessibleName(right);
}

void CompareDialog::fill()
{
    const QString leftText = readText(m_leftPath, &m_leftError);
    const QString rightText = readText(m_rightPath, &m_rightError);
    m_diff = sideBySideDiff(leftText, rightText);

    const int width = int(QString::number(qMax(1, int(m_diff.rows.size()))).size());
    const auto numbered = [width](int line, const QString &text) {
        return line > 0 ? QStringLiteral("%1  %2").arg(line, width).arg(text) : QString();
    };
    QStringList left;
    QStringList right;
    int differing = 0;
    for (const DiffRow &row : std::as_const(m_diff.rows)) {
        left.append(numbered(row.leftLine, row.left));
        right.append(numbered(row.rightLine, row.right));
        if (row.kind != DiffRow::Kind::Same)
            ++differing;
    }
    m_left->setPlainText(m_leftError.isEmpty() ? left.join(u'\n') : m_leftError);
    m_right->setPlainText(m_rightError.isEmpty() ? right.join(u'\n') : m_rightError);

    QString summary;
    if (!m_leftError.isEmpty() || !m_rightError.isEmpty())
        summary = tr("A file could not be read, so there is nothing to compare.");
    else if (differing == 0)
        summary = tr("The files are the same.");
    else
        summary = differing == 1 ? tr("1 line differs.") : tr("%L1 lines differ.").arg(differing);
    if (m_diff.cut)
        summary += u' '
            + tr("Only the first %L1 lines are compared, each up to %L2 characters.")
                  .arg(DiffLimits::lines)
                  .arg(DiffLimits::lineLength);
    m_summary->setText(summary);
}

void CompareDialog::tint()
{
    if (!m_leftError.isEmpty() || !m_rightError.isEmpty())
        return;
    const QPalette colors = palette();
    const QColor removed = PaletteColors::faded(PaletteColors::errorRed(colors), 0.22);
    const QColor added = PaletteColors::faded(PaletteColors::tint(PaletteColors::Tint::Green, colors), 0.24);
    const QColor missing = PaletteColors::faded(PaletteColors::label(colors), 0.06);
    const auto marks = [&](QPlainTextEdit *view, bool leftSide) {
        QList<QTextEdit::ExtraSelection> selections;
        QTextBlock block = view->document()->firstBlock();
        for (const DiffRow &row : std::as_const(m_diff.rows)) {
            if (!block.isValid())
                break;
            QColor fill;
            switch (row.kind) {
            case DiffRow::Kind::Same:
                break;
            case DiffRow::Kind::Changed:
                // What the left had and the right has instead.
                fill = leftSide ? removed : added;
                break;
            case DiffRow::Kind::Removed:
                fill = leftSide ? removed : missing;
                break;
            case DiffRow::Kind::Added:
                fill = leftSide ? missing : added;
                break;
            }
            if (fill.isValid()) {
                QTextEdit::ExtraSelection selection;
                selection.cursor = QTextCursor(block);
                selection.format.setBackground(fill);
                selection.format.setProperty(QTextFormat::FullWidthSelection, true);
                selections.append(selection);
            }
            block = block.next();
        }
        view->setExtraSelections(selections);
    };
    marks(m_left, true);
    marks(m_right, false);
}

void CompareDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        tint();
}
