#include "SearchQueries.h"

#include "CatalogDatabase.h"

namespace SearchQueries {
namespace {

QString doubledApostrophes(QString text)
{
    return text.replace(u'\'', QStringLiteral("''"));
}

} // namespace

QStringList SplitKeywords(const QString &text)
{
    QStringList keywords;
    QString rest = text.trimmed();
    for (qsizetype blank = rest.indexOf(u' '); blank >= 0; blank = rest.indexOf(u' ')) {
        keywords << rest.left(blank);
        rest = rest.mid(blank + 1).trimmed();
    }
    if (!rest.isEmpty())
        keywords << rest;
    return keywords;
}

QString QuickCondition(const QStringList &keywords, const FieldDefList &defs)
{
    if (keywords.isEmpty())
        return QStringLiteral("(1=1)");
    QStringList groups;
    for (const QString &keyword : keywords) {
        const QString pattern =
            QStringLiteral(" like '%") + doubledApostrophes(keyword) + QStringLiteral("%' ");
        QStringList tests;
        for (const FieldRecord *f : defs)
            tests << f->InName + pattern;
        groups << u'(' + tests.join(QStringLiteral(" Or ")) + u')';
    }
    return u'(' + groups.join(QStringLiteral(" And ")) + u')';
}

QString AdvancedCondition(const FieldDefList &defs, const QStringList &values, QStringList *terms,
                          QStringList *termNames)
{
    if (terms)
        terms->clear();
    if (termNames)
        termNames->clear();
    QString condition = QStringLiteral("1=1");
    for (qsizetype i = 0; i < defs.size() && i < values.size(); ++i) {
        const QString value = values[i].trimmed();
        if (value.isEmpty())
            continue;
        condition += QStringLiteral(" And ") + defs[i]->InName + QStringLiteral(" like '%") +
                     doubledApostrophes(value) + QStringLiteral("%'");
        if (terms)
            *terms << value;
        if (termNames)
            *termNames << defs[i]->OutName;
    }
    return u'(' + condition + u')';
}

QStringList TitlesOf(const FieldDefList &defs)
{
    QStringList titles;
    for (const FieldRecord *f : defs)
        titles << f->OutName;
    return titles;
}

QList<int> FieldTypesOf(const FieldDefList &defs)
{
    QList<int> types;
    for (const FieldRecord *f : defs)
        types << f->FieldType;
    return types;
}

QString ListingQuery(int appId, const FieldDefList &defs)
{
    // Display names are whatever the definition dialog accepted (blanks, digits, keywords,
    // the same name twice), so they go in as quoted names.
    QString sql =
        QStringLiteral("Select ") + QString::number(appId) + QStringLiteral(" As APPID,BATCHID,IMAGEID");
    for (const FieldRecord *f : defs)
        sql += u',' + f->InName + QStringLiteral(" As ") + QuotedSqlName(f->OutName);
    return sql + QStringLiteral(" From INFO") + QString::number(appId);
}

QString CountPerFolderQuery(int appId, const QString &condition, int batchId)
{
    QString sql = QStringLiteral("Select BATCHNAME,MIN(INfo.BATCHID) As BATCHID, Count(*) As C From INFO") +
                  QString::number(appId) + QStringLiteral(" as Info,BATCH Where ") + condition +
                  QStringLiteral(" And BATCH.BATCHID=Info.BATCHID");
    if (batchId != -1)
        sql += QStringLiteral(" And Info.BATCHID=") + QString::number(batchId);
    return sql + QStringLiteral(" Group By BATCHNAME");
}

QList<SearchLine> CountPerFolder(TCatalogConnection *connection, int appId, const FieldDefList &defs,
                                 const QString &condition, int batchId)
{
    const QString listing = ListingQuery(appId, defs);
    TCatalogQuery query(connection);
    if (!query.Open(CountPerFolderQuery(appId, condition, batchId)))
        return {};
    QList<SearchLine> lines;
    for (; !query.Eof(); query.Next())
        lines << SearchLine{query.FieldText(QStringLiteral("BATCHNAME")).trimmed(),
                            query.FieldText(QStringLiteral("C")),
                            listing + QStringLiteral(" Where ") + condition +
                                QStringLiteral(" And BATCHID=") + query.FieldText(QStringLiteral("BATCHID")),
                            TitlesOf(defs), FieldTypesOf(defs)};
    return lines;
}

QList<FileTypeEntry> FileTypesInTreeOrder(TCatalogConnection *connection)
{
    TCatalogQuery query(connection);
    if (!query.Open(QStringLiteral("SELECT * FROM APP Order By APPORDER")))
        return {};
    QList<FileTypeEntry> types;
    for (; !query.Eof(); query.Next())
        types << FileTypeEntry{query.FieldByName(QStringLiteral("APPID")).toInt(),
                               query.FieldText(QStringLiteral("APPNAME"))};
    return types;
}

QList<SearchLine> CountPerFileType(TCatalogConnection *connection, const QList<FileTypeEntry> &types,
                                   const QStringList &keywords)
{
    QList<SearchLine> lines;
    for (const FileTypeEntry &type : types) {
        FieldDefList defs;
        FieldStore::LoadFieldDefs(connection, type.appId, defs, true);
        const QString condition = QuickCondition(keywords, defs);
        const QString listing = ListingQuery(type.appId, defs);
        const QStringList titles = TitlesOf(defs);
        const QList<int> fieldTypes = FieldTypesOf(defs);
        FieldStore::FreeFieldDefs(defs);

        TCatalogQuery query(connection);
        if (!query.Open(QStringLiteral("Select Count(*) As C From INFO") + QString::number(type.appId) +
                        QStringLiteral(" Where ") + condition))
            break;
        const QString count = query.FieldText(QStringLiteral("C"));
        if (count != u"0")
            lines << SearchLine{type.name.trimmed(), count, listing + QStringLiteral(" Where ") + condition,
                                titles, fieldTypes};
    }
    return lines;
}

} // namespace SearchQueries
