#include "SqlDialect.h"

#include <QRegularExpression>
#include <QStringList>

namespace SqlDialect {
namespace {

const QRegularExpression::PatternOptions kOpts =
    QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption;

QString quoteIdent(const QString &name, Engine engine = Engine::Sqlite)
{
    QString q = engine == Engine::Postgres ? name.toLower() : name;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

// Splits at commas outside parentheses and quotes.
QStringList splitTopLevel(const QString &body)
{
    QStringList parts;
    int depth = 0;
    QChar quote;
    QString cur;
    for (QChar c : body) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'(') {
            ++depth;
        } else if (c == u')') {
            --depth;
        } else if (c == u',' && depth == 0) {
            parts << cur;
            cur.clear();
            continue;
        }
        cur += c;
    }
    if (!cur.trimmed().isEmpty())
        parts << cur;
    return parts;
}

QString translateColumn(const QString &def, Engine engine)
{
    static const QRegularExpression colRe(
        QStringLiteral(R"(^\s*("[^"]+"|\[[^\]]+\]|\w+)\s+(\w+)\s*(\(\s*\d+\s*\))?(.*)$)"), kOpts);
    static const QRegularExpression tableConstraint(
        QStringLiteral(R"(^\s*(PRIMARY|CONSTRAINT|UNIQUE|FOREIGN|CHECK)\b)"), kOpts);
    if (tableConstraint.match(def).hasMatch())
        return def.trimmed();
    const auto m = colRe.match(def);
    if (!m.hasMatch())
        return def.trimmed();
    QString name = m.captured(1);
    if (name.startsWith(u'[') || name.startsWith(u'"'))
        name = name.mid(1, name.size() - 2);
    const QString type = m.captured(2) + m.captured(3).remove(u' ');
    QString rest = m.captured(4).trimmed();
    return quoteIdent(name, engine) + u' ' + columnDefinition(name, type, engine) +
           (rest.isEmpty() ? QString() : u' ' + rest);
}

} // namespace

ValueClass valueClassOf(const QString &type, int *maxLength)
{
    static const QRegularExpression re(QStringLiteral(R"(^\s*(\w+)\s*(?:\(\s*(\d+)\s*\))?\s*$)"), kOpts);
    const auto m = re.match(type);
    const QString base = m.hasMatch() ? m.captured(1).toUpper() : type.trimmed().toUpper();
    if (maxLength)
        *maxLength = -1;
    if (base == u"CHAR" || base == u"VARCHAR" || base == u"NCHAR" || base == u"NVARCHAR") {
        if (maxLength)
            *maxLength = m.captured(2).isEmpty() ? 255 : m.captured(2).toInt();
        return ValueClass::Text;
    }
    if (base == u"MEMO" || base == u"TEXT" || base == u"LONGTEXT" || base == u"NOTE")
        return ValueClass::Text;
    if (base == u"INT" || base == u"INTEGER" || base == u"LONG" || base == u"SMALLINT" ||
        base == u"COUNTER" || base == u"BYTE" || base == u"BIT")
        return ValueClass::Integer;
    if (base == u"DOUBLE" || base == u"FLOAT" || base == u"REAL" || base == u"SINGLE" || base == u"NUMERIC" ||
        base == u"DECIMAL" || base == u"CURRENCY")
        return ValueClass::Real;
    return ValueClass::Other;
}

QString quotedName(const QString &name, Engine engine)
{
    return quoteIdent(name, engine);
}

QString columnDefinition(const QString &column, const QString &type, Engine engine)
{
    int length = -1;
    const ValueClass cls = valueClassOf(type, &length);
    if (engine == Engine::Postgres) {
        // The desktop database's integers are as wide as SQLite's.
        switch (cls) {
        case ValueClass::Text:
            if (length >= 0)
                return QStringLiteral("CITEXT CHECK(length(%2)<=%1)")
                    .arg(length)
                    .arg(quoteIdent(column, engine));
            return QStringLiteral("CITEXT");
        case ValueClass::Integer:
            return QStringLiteral("BIGINT");
        case ValueClass::Real:
            return QStringLiteral("DOUBLE PRECISION");
        case ValueClass::Other:
            break;
        }
        return type;
    }
    switch (cls) {
    case ValueClass::Text:
        if (length >= 0)
            return QStringLiteral("CHAR(%1) COLLATE NOCASE CHECK(length(%2)<=%1)")
                .arg(length)
                .arg(quoteIdent(column));
        return QStringLiteral("TEXT COLLATE NOCASE");
    case ValueClass::Integer:
        return QStringLiteral("INTEGER");
    case ValueClass::Real:
        return QStringLiteral("DOUBLE");
    case ValueClass::Other:
        break;
    }
    return type;
}

Statement translate(const QString &sql, Engine engine)
{
    static const QRegularExpression createRe(
        QStringLiteral(R"(^\s*CREATE\s+TABLE\s+("[^"]+"|\[[^\]]+\]|\w+)\s*\((.*)\)\s*;?\s*$)"), kOpts);
    static const QRegularExpression alterRe(
        QStringLiteral(
            R"(^\s*ALTER\s+TABLE\s+(\w+)\s+(ADD|ALTER|DROP)\s+(?:COLUMN\s+)?("[^"]+"|\[[^\]]+\]|\w+)\s*(.*?)\s*;?\s*$)"),
        kOpts);

    Statement st;
    if (const auto m = createRe.match(sql); m.hasMatch()) {
        QStringList cols;
        for (const QString &def : splitTopLevel(m.captured(2)))
            cols << translateColumn(def, engine);
        st.sql =
            QStringLiteral("CREATE TABLE ") + m.captured(1) + u'(' + cols.join(QStringLiteral(", ")) + u')';
        return st;
    }
    if (const auto m = alterRe.match(sql); m.hasMatch()) {
        QString column = m.captured(3);
        if (column.startsWith(u'[') || column.startsWith(u'"'))
            column = column.mid(1, column.size() - 2);
        const QString op = m.captured(2).toUpper();
        const QString type = m.captured(4).trimmed();
        if (op == u"ADD") {
            st.sql =
                QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                    .arg(m.captured(1), quoteIdent(column, engine), columnDefinition(column, type, engine));
        } else if (op == u"DROP") {
            st.sql = QStringLiteral("ALTER TABLE %1 DROP COLUMN %2")
                         .arg(m.captured(1), quoteIdent(column, engine));
        } else {
            st.kind = Statement::AlterColumn;
            st.table = m.captured(1);
            st.column = column;
            st.type = type;
        }
        return st;
    }
    st.sql = sql;
    return st;
}

} // namespace SqlDialect
