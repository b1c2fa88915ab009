#include "journal/shift_entry_dialog.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "data/formats.h"
#include "data/money.h"
#include "data/prompts.h"
#include "journal/journal_window.h"
#include "rules/entry_limits.h"
#include "rules/price_rule.h"
#include "ui/dialog_buttons.h"
#include "ui/entry_flow.h"
#include "ui/guard.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QEvent>
#include <QTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

TForm11::TForm11(TDataModule6& dm, TForm1& form1, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_journal(form1), m_prompts(dm.prompts()), m_writer(dm.ADO_DB)
{
    setObjectName(QStringLiteral("Form11"));
    setWindowTitle(QStringLiteral("Заведение новой позиции (11)"));

    GroupBox1 = new QGroupBox(QStringLiteral("Закрыто мастером"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, GroupBox1);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    auto edit = [this](const char* name) {
        auto* e = new QLineEdit(GroupBox1);
        e->setObjectName(QLatin1String(name));
        return e;
    };
    auto display = [&](const char* name) {
        QLineEdit* e = edit(name);
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        return e;
    };
    auto dots = [this](const char* name) {
        auto* b = new QPushButton(QStringLiteral("..."), GroupBox1);
        b->setObjectName(QLatin1String(name));
        // Enter on a pick opens it; with the focus elsewhere Enter stays with "Запись".
        b->setAutoDefault(true);
        b->setFixedWidth(32);
        return b;
    };
    Label1 = label("Label1", QStringLiteral("ФИО"));
    Edit1 = display("Edit1");
    Button3 = dots("Button3");
    Label2 = label("Label2", QStringLiteral("Операция"));
    Edit2 = display("Edit2");
    Button4 = dots("Button4");
    Label3 = label("Label3", QStringLiteral("Кол-во"));
    Edit3 = edit("Edit3");
    Label7 = label("Label7", QStringLiteral("Время"));
    Edit6 = edit("Edit6");
    Edit6->setText(QStringLiteral("0"));
    Label6 = label("Label6", QStringLiteral("Цвет"));
    Edit5 = edit("Edit5");
    Label5 = label("Label5", QStringLiteral("Дата"));
    DTimeP = new QDateEdit(GroupBox1);
    DTimeP->setObjectName(QStringLiteral("DTimeP"));
    DTimeP->setCalendarPopup(true);
    DTimeP->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    Label4 = label("Label4", QStringLiteral("Брак"));
    Edit4 = edit("Edit4");
    Edit4->setText(QStringLiteral("0"));
    Label8 = label("Label8", QStringLiteral("Цена база"));
    Edit8 = display("Edit8");
    Label10 = label("Label10", QStringLiteral("Цена итог"));
    Edit7 = display("Edit7");
    Label9 = label("Label9", QStringLiteral("Сумма"));
    Edit9 = display("Edit9");

    // Whole pieces and hours: only the digits 0 to 9 get in.
    auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    for (QLineEdit* e : {Edit3, Edit6, Edit5, Edit4}) e->setValidator(digits);

    const std::pair<QLabel*, QWidget*> pairs[] = {
        {Label1, Edit1}, {Label2, Edit2}, {Label3, Edit3}, {Label7, Edit6}, {Label6, Edit5}, {Label5, DTimeP},
        {Label4, Edit4}, {Label8, Edit8}, {Label10, Edit7}, {Label9, Edit9}};
    for (const auto& [l, field] : pairs) l->setBuddy(field);

    auto* grid = new QGridLayout(GroupBox1);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Edit1, 0, 1, 1, 4);
    grid->addWidget(Button3, 0, 5);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(Edit2, 1, 1, 1, 4);
    grid->addWidget(Button4, 1, 5);
    grid->addWidget(Label3, 2, 0);
    grid->addWidget(Edit3, 2, 1);
    grid->addWidget(Label7, 2, 2);
    grid->addWidget(Edit6, 2, 3);
    grid->addWidget(Label6, 3, 0);
    grid->addWidget(Edit5, 3, 1);
    grid->addWidget(Label5, 3, 2);
    grid->addWidget(DTimeP, 3, 3);
    grid->addWidget(Label4, 4, 0);
    grid->addWidget(Edit4, 4, 1);
    grid->addWidget(Label8, 5, 0);
    grid->addWidget(Edit8, 5, 1);
    grid->addWidget(Label10, 5, 2);
    grid->addWidget(Edit7, 5, 3);
    grid->addWidget(Label9, 6, 0);
    grid->addWidget(Edit9, 6, 1);
    Edit1->setMinimumWidth(320);

    const DialogButtons buttons = addDialogButtons(this, GroupBox1, QStringLiteral("Запись"));
    Button1 = buttons.Button1;
    Button2 = buttons.Button2;
    // The status line: which field a refusal was about.
    StatusLine = new QLabel(this);
    StatusLine->setObjectName(QStringLiteral("StatusLine"));
    layout()->addWidget(StatusLine);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // After a pick the dialog may become active again only once the list is gone, and each
    // activation puts the focus on the worker pick: the one that comes back from a pick or a
    // message keeps the field chosen, until the user moves the focus himself.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (m_focusOnReturn && now && now != m_focusOnReturn && isAncestorOf(now)) m_focusOnReturn.clear();
    });

    setTabOrder(Button3, Button4);
    setTabOrder(Button4, Edit3);
    setTabOrder(Edit3, Edit6);
    setTabOrder(Edit6, Edit5);
    setTabOrder(Edit5, DTimeP);
    setTabOrder(DTimeP, Edit4);
    setTabOrder(Edit4, Button1);
    setTabOrder(Button1, Button2);

    for (QWidget* w : {static_cast<QWidget*>(Edit1), static_cast<QWidget*>(Edit2), static_cast<QWidget*>(Edit3),
                       static_cast<QWidget*>(Edit6)})
        w->installEventFilter(this);
    connect(Button1, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button3, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button4Click(); }));
    for (QLineEdit* e : {Edit3, Edit6})
        connect(e, &QLineEdit::textChanged, this, [this, e] { m_untypedZeros.remove(e); });
    for (QLineEdit* e : {Edit3, Edit4, Edit5, Edit6})
        connect(e, &QLineEdit::textEdited, this, [this] { m_focusOnReturn.clear(); });
    // A field marked as missing is unmarked once it holds something.
    for (QLineEdit* e : {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6})
        connect(e, &QLineEdit::textChanged, this, [this, e] { if (!e->text().trimmed().isEmpty()) markMissing(e, false); });
    applyColourRule();
}

void TForm11::fillForAdd(const QDate& day)
{
    DTimeP->setDate(day);
    Edit1->clear();
    Edit2->clear();
    Edit3->clear();
    Edit5->clear();
    Edit4->setText(QStringLiteral("0"));
    Edit6->setText(QStringLiteral("0"));
    setWindowTitle(QStringLiteral("Заведение новой позиции (11)"));
    Tag = 1;
    m_entryId = 0;
    m_version.clear();
    m_picked = false;
    m_basePrice.clear();
    m_storedPrice = Money();
    m_untypedZeros.clear();
    // A new entry shows no price until its operation is picked.
    cur_price.clear();
    for (QLineEdit* e : {Edit7, Edit8, Edit9}) e->clear();
    clearMarks();
}

void TForm11::markMissing(QLineEdit* field, bool missing)
{
    if (field->property("missing").toBool() == missing) return;
    field->setProperty("missing", missing);
    field->setStyleSheet(missing ? QStringLiteral("QLineEdit { border: 2px solid rgb(200, 0, 0); background: rgb(255, 235, 235); }")
                                 : QString());
}

void TForm11::clearMarks()
{
    for (QLineEdit* e : {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6}) markMissing(e, false);
    StatusLine->clear();
}

void TForm11::openForAdd(const QDate& day)
{
    fillForAdd(day);
    exec();
}

void TForm11::fillForChange(const Dataset& row)
{
    setWindowTitle(QStringLiteral("Изменение данных о позиции (11)"));
    Tag = 2;
    m_entryId = row.asInt(QStringLiteral("id"));
    m_entryOperationId = row.asInt(QStringLiteral("o_id"));
    m_version = shift_entry::versionOf(m_dm.ADO_DB, row);
    m_picked = false;
    m_basePrice.clear();
    m_storedPrice = Money::fromValue(row.value(QStringLiteral("cena")));
    cur_price = m_storedPrice.toString();
    Edit7->setText(formats::general(Money::fromValue(entry_price::rounded(cur_price))));
    Edit9->setText(formats::general(Money::fromValue(entry_price::amount(row.asLongLong(QStringLiteral("kol_vo")), cur_price))));
    DTimeP->setDate(row.asDate(QStringLiteral("data")));
    Edit1->setText(row.asString(QStringLiteral("fio")).trimmed());
    Edit2->setText(shift_entry::operationCaption(row.asString(QStringLiteral("marka")), row.asString(QStringLiteral("vid")),
                                                 row.asInt(QStringLiteral("naimen"))));
    Edit3->setText(row.asString(QStringLiteral("kol_vo")).trimmed());
    Edit4->setText(row.asString(QStringLiteral("brak")).trimmed());
    Edit6->setText(QString::number(row.asLongLong(QStringLiteral("time"))));
    cur_w_id = row.asInt(QStringLiteral("w_id"));
    cur_i_id = row.asInt(QStringLiteral("i_id"));
    cur_o_id = row.asInt(QStringLiteral("o_id"));
    m_untypedZeros.clear();
    if (shift_entry::takesColour(row.asString(QStringLiteral("vid")))) {
        Edit5->setEnabled(true);
        Label6->setEnabled(true);
        Edit5->setText(row.asString(QStringLiteral("color")));
    } else {
        Edit5->clear();
        Edit5->setEnabled(false);
        Label6->setEnabled(false);
    }
}

void TForm11::openForChange(const Dataset& row)
{
    fillForChange(row);
    exec();
}

void TForm11::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_focusOnReturn.clear();
    FormActivate();
}

void TForm11::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow()) return;
    if (m_focusOnReturn) {
        // Kept for an activation that may follow this one (see focusOnReturn).
        focusAsTab(m_focusOnReturn);
    } else {
        FormActivate();
    }
}

void TForm11::FormActivate() { Button3->setFocus(Qt::OtherFocusReason); }

bool TForm11::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && (watched == Edit1 || watched == Edit2)) {
        runGuarded(m_prompts, [this, watched] { watched == Edit1 ? Button3Click() : Button4Click(); });
        return true;
    }
    if (event->type() == QEvent::FocusOut && (watched == Edit3 || watched == Edit6))
        runGuarded(m_prompts, [this] { Edit6Exit(); });
    return QDialog::eventFilter(watched, event);
}

void TForm11::Button3Click()
{
    if (openWorkerPick) openWorkerPick(*this);
    Edit6Exit();
    focusAfterPick(Button3);
}

void TForm11::Button4Click()
{
    if (openOperationPick) openOperationPick(*this, Tag == 1 ? 0 : m_entryOperationId);
    applyColourRule();
    Edit6Exit();
    focusAfterPick(Button4);
}

QList<QWidget*> TForm11::fields() const { return {Button3, Button4, Edit3, Edit6, Edit5, DTimeP, Edit4}; }

bool TForm11::waitsForValue(QWidget* field) const
{
    if (field == Button3) return Edit1->text().trimmed().isEmpty();
    if (field == Button4) return Edit2->text().trimmed().isEmpty();
    // A quantity or hours nobody typed are still to be given, though the recomputation shows 0.
    const auto* box = qobject_cast<const QLineEdit*>(field);
    return box && (box->text().trimmed().isEmpty() || m_untypedZeros.contains(box));
}

void TForm11::focusAfterPick(QWidget* pick)
{
    // A pick given up leaves its own field empty: its button keeps the focus.
    QWidget* next = firstEmptyField(fields(), pick, [this](QWidget* f) { return waitsForValue(f); });
    focusOnReturn(next ? next : Button1);
}

void TForm11::focusOnReturn(QWidget* control)
{
    focusAsTab(control);
    // The window system may make the dialog active again only after the list or the box is gone,
    // or make it active now and again a moment later: the field is kept for those activations,
    // until the user moves the focus or types, or for two seconds at most.
    m_focusOnReturn = control;
    QTimer::singleShot(2000, this, [this, kept = QPointer<QWidget>(control)] {
        if (m_focusOnReturn == kept) m_focusOnReturn.clear();
    });
}

void TForm11::takeOperation(const PickedOperation& operation)
{
    cur_i_id = operation.productId;
    cur_o_id = operation.id;
    cur_naimen = operation.naimen;
    m_basePrice = operation.basePrice;
    // Fixed now, from the journal's day-off box and shift as they stand at the pick.
    cur_price = entry_price::withSurcharges(operation.basePrice, m_journal.CBox1->isChecked(), m_journal.CurrentShift);
    m_picked = true;
    Edit2->setText(shift_entry::operationCaption(shift_entry::productMark(m_dm.ADO_DB, cur_i_id), operation.vid, operation.naimen));
    applyColourRule();
    Edit6Exit();
}

bool TForm11::paints() const { return shift_entry::takesColour(Edit2->text()); }

void TForm11::applyColourRule()
{
    const bool on = paints();
    if (!on) Edit5->clear();
    Edit5->setEnabled(on);
    Label6->setEnabled(on);
}

void TForm11::Edit6Exit()
{
    for (QLineEdit* e : {Edit6, Edit3}) {
        if (!e->text().isEmpty()) continue;
        e->setText(QStringLiteral("0"));
        m_untypedZeros.insert(e);
    }
    const QString price = cur_price.isEmpty() ? QStringLiteral("0") : cur_price;
    Edit7->setText(formats::general(Money::fromValue(entry_price::rounded(price))));
    Edit8->setText(m_picked ? formats::general(Money::fromValue(entry_price::rounded(m_basePrice))) : QStringLiteral("0"));
    Edit9->setText(formats::general(Money::fromValue(entry_price::amount(Edit3->text().toLongLong(), price))));
}

void TForm11::Button1Click()
{
    QList<QLineEdit*> required = {Edit1, Edit2, Edit3, Edit4};
    if (paints()) required << Edit5;
    required << Edit6;
    QList<QWidget*> empty;
    for (QLineEdit* e : std::as_const(required))
        if (e->text().trimmed().isEmpty()) empty << (e == Edit1 ? Button3 : e == Edit2 ? Button4 : static_cast<QWidget*>(e));
    if (!empty.isEmpty()) {
        // Each empty field is marked, and the status line names them, before the message.
        QStringList names;
        const std::pair<QLineEdit*, QLabel*> labelled[] = {{Edit1, Label1}, {Edit2, Label2}, {Edit3, Label3},
                                                            {Edit6, Label7}, {Edit5, Label6}, {Edit4, Label4}};
        for (const auto& [e, l] : labelled)
            if (required.contains(e) && e->text().trimmed().isEmpty()) {
                markMissing(e, true);
                names << l->text();
            }
        StatusLine->setText(QStringLiteral("Не заполнено: %1").arg(names.join(QStringLiteral(", "))));
        m_prompts.error(QStringLiteral("Все поля должны быть заполнены!"), QStringLiteral("Ошибка"));
        QWidget* first = firstEmptyField(fields(), Button3, [&empty](QWidget* f) { return empty.contains(f); });
        focusOnReturn(first ? first : empty.first());
        return;
    }
    clearMarks();
    // Each number is checked here, whatever put it into its field (typing is filtered, text set
    // by other means is not): a whole number of 0 up to what its column holds, with the field
    // named, rather than refused by the server halfway through the save.
    const std::tuple<QLineEdit*, QLabel*, qint64> limits[] = {{Edit3, Label3, entry_limits::kQuantityMax},
                                                              {Edit4, Label4, entry_limits::kDefectsMax},
                                                              {Edit5, Label6, entry_limits::kColourMax},
                                                              {Edit6, Label7, entry_limits::kHoursMax}};
    for (const auto& [e, l, max] : limits) {
        const QString problem = entry_limits::numberProblem(l->text(), e->text(), max);
        if (problem.isEmpty()) continue;
        m_prompts.error(problem, QStringLiteral("Ошибка"));
        return;
    }

    shift_entry::Entry e;
    e.id = Tag == 1 ? 0 : m_entryId;
    e.version = m_version;
    e.workerId = cur_w_id;
    e.productId = cur_i_id;
    e.operationId = cur_o_id;
    e.day = DTimeP->date();
    e.shift = m_journal.CurrentShift;
    // A change without a new pick keeps the stored price as it is.
    e.price = (Tag != 1 && !m_picked) ? m_storedPrice : Money::fromValue(entry_price::rounded(cur_price));
    e.quantity = Edit3->text().trimmed().toInt();
    e.defects = Edit4->text().trimmed().toInt();
    e.colour = Edit5->text().trimmed().isEmpty() ? 0 : Edit5->text().trimmed().toInt();
    e.hours = Edit6->text().trimmed().toInt();
    e.keyedIn = m_journal.today();

    Dataset& shiftQuery = m_dm.smenaQuery(m_journal.CurrentShift);
    const shift_entry::Outcome outcome = m_writer.save(e);
    if (outcome != shift_entry::Outcome::Saved) {
        if (outcome == shift_entry::Outcome::Stale) shiftQuery.refresh();
        m_prompts.error(shift_entry::outcomeMessage(outcome), QStringLiteral("Ошибка"));
        return;
    }
    shiftQuery.refresh();
    m_dm.H_Tabel_1.close();
    m_dm.H_Tabel_2.close();
    m_dm.H_Tabel_3.close();
    for (QLineEdit* edit : {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Edit7, Edit8, Edit9}) edit->clear();
    accept();
}
