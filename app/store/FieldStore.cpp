#include "FieldStore.h"

#include "CatalogDatabase.h"
#include "CatalogSchema.h"
#include "Messages.h"

#include <QRegularExpression>
#include <QVariantMap>

namespace FieldStore {

namespace {

// Column names go into statements as written, so only plain identifiers pass.
bool IsColumnName(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z][A-Za-z0-9_]*$"));
    return re.match(name).hasMatch();
}

bool IsRemark(const FieldRecord &field)
{
    return field.InName.compare(QString::fromUtf16(RemarkInName), Qt::CaseInsensitive) == 0;
}

const FieldRecord *FindByInName(const FieldDefList &list, const QString &inName)
{
    for (const FieldRecord *f : list)
        if (f && f->InName == inName)
            return f;
    return nullptr;
}

void ShowFieldFailure(const QString &format, const QString &outName)
{
    QString text = format;
    text.replace(QStringLiteral("%s"), outName);
    Messages::Show(text, QStringLiteral("提示"), MsgIcon::Information, MsgButtons::Ok, nullptr);
}

// The value to store for one field: numbers must read as numbers, an empty entry is no value.
bool FieldValue(const FieldRecord &field, const QString &text, QVariant &value)
{
    const QString t = text.trimmed();
    bool ok = true;
    switch (field.FieldType) {
    case 1:
        value = t.isEmpty() ? QVariant() : QVariant(t.toLongLong(&ok));
        return ok;
    case 2:
        value = t.isEmpty() ? QVariant() : QVariant(t.toDouble(&ok));
        return ok;
    default:
        value = text;
        return true;
    }
}

} // namespace

QString ColumnType(const FieldRecord &field)
{
    switch (field.FieldType) {
    case 0:
        return QStringLiteral("char(%1)").arg(field.FieldLength);
    case 1:
        return QStringLiteral("int");
    case 2:
        return QStringLiteral("double");
    default:
        return QStringLiteral("memo");
    }
}

void LoadFieldDefs(TCatalogConnection *connection, int appId, FieldDefList &list, bool withRemark,
                   QWidget *owner)
{
    list.clear();
    TCatalogQuery query(connection);
    if (!query.Open(
            QStringLiteral("SELECT * FROM FIELDDEFINE WHERE APPID=%1 Order By FIELDORDER").arg(appId))) {
        Messages::Show(QStringLiteral("查询资料夹数据库错误"), QStringLiteral("提示"), MsgIcon::Information,
                       MsgButtons::Ok, owner);
        return;
    }
    for (; !query.Eof(); query.Next()) {
        auto *f = new FieldRecord;
        f->AppId = query.FieldByName(QStringLiteral("APPID")).toInt();
        f->InName = query.FieldText(QStringLiteral("INNAME"));
        f->OutName = query.FieldText(QStringLiteral("OUTNAME"));
        f->FieldType = query.FieldByName(QStringLiteral("FIELDTYPE")).toInt();
        f->FieldLength = query.FieldByName(QStringLiteral("FIELDLENGTH")).toInt();
        f->IsRequired = query.FieldByName(QStringLiteral("ISREQUIRED")).toInt();
        f->FieldOrder = query.FieldByName(QStringLiteral("FIELDORDER")).toInt();
        list.append(f);
    }
    if (withRemark) {
        auto *f = new FieldRecord;
        f->AppId = appId;
        f->InName = QString::fromUtf16(RemarkInName);
        f->OutName = QString::fromUtf16(RemarkOutName);
        f->FieldType = 3;
        f->FieldLength = 0;
        f->IsRequired = 0;
        f->FieldOrder = -1;
        list.append(f);
    }
}

void FreeFieldDefs(FieldDefList &list)
{
    qDeleteAll(list);
    list.clear();
}

void ApplyFieldDefs(TCatalogConnection *connection, int appId, const FieldDefList &list)
{
    FieldDefList old;
    LoadFieldDefs(connection, appId, old, false);
    const QString table = CatalogSchema::InfoTableName(appId);

    for (const FieldRecord *f : old) {
        if (FindByInName(list, f->InName))
            continue;
        const bool ok = IsColumnName(f->InName) &&
                        connection->ExecuteInTransaction(
                            {QStringLiteral("ALTER TABLE %1 DROP COLUMN %2").arg(table, f->InName),
                             QStringLiteral("DELETE FROM FIELDDEFINE WHERE APPID=") + QString::number(appId) +
                                 QStringLiteral(" and INNAME=") + QuotedSqlText(f->InName)});
        if (!ok)
            ShowFieldFailure(QStringLiteral("删除字段%s不成功"), f->OutName);
    }

    // The remark column belongs to the table itself and has no definition row, so a list that
    // carries the remark entry (as the entry panel's does) leaves it alone.
    int k = 0;
    for (const FieldRecord *f : list) {
        if (!f || IsRemark(*f))
            continue;
        const QString type = ColumnType(*f);
        if (FindByInName(old, f->InName)) {
            const bool ok =
                IsColumnName(f->InName) &&
                connection->ExecuteInTransaction(
                    {QStringLiteral("ALTER TABLE %1 ALTER COLUMN %2 %3").arg(table, f->InName, type),
                     // Built by concatenation: a display name may itself contain '%'.
                     QStringLiteral("UPDATE FIELDDEFINE SET OUTNAME=") + QuotedSqlText(f->OutName) +
                         QStringLiteral(",FIELDTYPE=") + QString::number(f->FieldType) +
                         QStringLiteral(",FIELDLENGTH=") + QString::number(f->FieldLength) +
                         QStringLiteral(",ISREQUIRED=") + QString::number(f->IsRequired) +
                         QStringLiteral(",FIELDORDER=") + QString::number(k) +
                         QStringLiteral(" WHERE APPID=") + QString::number(appId) +
                         QStringLiteral(" and INNAME=") + QuotedSqlText(f->InName)});
            if (!ok)
                ShowFieldFailure(QStringLiteral("修改字段%s不成功！"), f->OutName);
        } else {
            const bool ok =
                IsColumnName(f->InName) &&
                connection->ExecuteInTransaction(
                    {QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3").arg(table, f->InName, type),
                     QStringLiteral(
                         "INSERT INTO FIELDDEFINE (APPID, INNAME, OUTNAME, FIELDTYPE, FIELDLENGTH, "
                         "ISREQUIRED, FIELDORDER) VALUES(") +
                         QString::number(appId) + u',' + QuotedSqlText(f->InName) + u',' +
                         QuotedSqlText(f->OutName) + u',' + QString::number(f->FieldType) + u',' +
                         QString::number(f->FieldLength) + u',' + QString::number(f->IsRequired) + u',' +
                         QString::number(k) + u')'});
            if (!ok)
                ShowFieldFailure(QStringLiteral("增加字段%s不成功！"), f->OutName);
        }
        ++k;
    }
    FreeFieldDefs(old);
}

void ReadFieldValues(TCatalogConnection *connection, const FieldDefList &defs, QStringList &values,
                     int imageId, int batchId, int appId)
{
    values.clear();
    QStringList columns;
    for (const FieldRecord *f : defs) {
        if (!f || !IsColumnName(f->InName))
            return;
        columns << f->InName;
    }
    if (columns.isEmpty())
        return;
    TCatalogQuery query(connection);
    if (!query.Open(QStringLiteral("Select %1 From %2 Where BATCHID=%3 And IMAGEID=%4")
                        .arg(columns.join(u','), CatalogSchema::InfoTableName(appId))
                        .arg(batchId)
                        .arg(imageId)))
        return;
    for (const QString &c : columns)
        values << (query.Eof() ? QString() : query.FieldByName(c).toString().trimmed());
}

bool WriteFieldValues(TCatalogConnection *connection, const FieldDefList &defs, const QStringList &values,
                      int imageId, int batchId, int appId)
{
    QStringList columns;
    for (const FieldRecord *f : defs) {
        if (!f || !IsColumnName(f->InName))
            return false;
        columns << f->InName;
    }
    const QString table = CatalogSchema::InfoTableName(appId);
    TCatalogQuery query(connection);
    if (!query.Open(QStringLiteral("Select %1BATCHID,IMAGEID From %2 Where BATCHID=%3 And IMAGEID=%4")
                        .arg(columns.isEmpty() ? QString() : columns.join(u',') + u',')
                        .arg(table)
                        .arg(batchId)
                        .arg(imageId)))
        return false;
    if (query.FieldNames().size() != values.size() + 2 || defs.size() != values.size())
        return false;

    QList<QVariant> stored;
    for (qsizetype i = 0; i < values.size(); ++i) {
        QVariant v;
        if (!FieldValue(*defs[i], values[i], v))
            return false;
        stored << v;
    }

    if (query.Eof()) {
        QList<QPair<QString, QVariant>> row{{QStringLiteral("BATCHID"), batchId},
                                            {QStringLiteral("IMAGEID"), imageId}};
        for (qsizetype i = 0; i < columns.size(); ++i)
            row.append({columns[i], stored[i]});
        TCatalogQuery append(connection);
        return append.Open(QStringLiteral("Select * from %1 Where 1=0").arg(table)) &&
               append.AppendRecord(row);
    }

    QStringList assignments{QStringLiteral("BATCHID=:k1"), QStringLiteral("IMAGEID=:k2")};
    QVariantMap params{{QStringLiteral(":k1"), batchId}, {QStringLiteral(":k2"), imageId}};
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const QString p = QStringLiteral(":v%1").arg(i);
        assignments << columns[i] + u'=' + p;
        params.insert(p, stored[i]);
    }
    TCatalogQuery update(connection);
    return update.ExecSQL(QStringLiteral("UPDATE %1 SET %2 Where BATCHID=%3 And IMAGEID=%4")
                              .arg(table, assignments.join(u','))
                              .arg(batchId)
                              .arg(imageId),
                          params);
}

} // namespace FieldStore
