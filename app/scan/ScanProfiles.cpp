#include "ScanProfiles.h"

#include "CatalogDatabase.h"
#include "Quietly.h"

#include <QVariantMap>

namespace {

// Options are stored as "T" when on and as no value when off; nothing else counts as on.
QVariant OptionValue(bool on)
{
    return on ? QVariant(QStringLiteral("T")) : QVariant();
}

bool OptionOn(const QVariant &value)
{
    return !value.isNull() && value.toString() == u"T";
}

// ROTATE holds the item of the rotation list as one digit. Anything else is no rotation,
// so a damaged row cannot select an item the list does not have.
constexpr int RotateItems = 4;

QString RotateText(int rotate)
{
    return QString::number(rotate >= 0 && rotate < RotateItems ? rotate : 0);
}

int RotateItem(const QVariant &value)
{
    bool ok = false;
    const int item = value.toString().trimmed().toInt(&ok);
    return ok && item >= 0 && item < RotateItems ? item : 0;
}

// A CUTMODE without a number is splitting by hand, as on a new panel.
int CutMode(const QVariant &value)
{
    if (value.isNull())
        return -1;
    bool ok = false;
    const int mode = value.toString().trimmed().toInt(&ok);
    return ok ? mode : -1;
}

QVariantMap ByName(const QString &name)
{
    return {{QStringLiteral(":name"), name}};
}

// Failed statements are passed over but leave a trace under the quiet category.
void PassOver(const char *where, const TCatalogQuery &query)
{
    qCDebug(lcQuiet, "%s: %s", where, qUtf8Printable(query.LastError()));
}

} // namespace

QStringList ScanProfiles::Names() const
{
    return arkavo::QuietlyOr("scan profile names", QStringList(), [this] {
        QStringList names;
        TCatalogQuery query(m_connection);
        if (!query.Open(QStringLiteral("Select TYPENAME from SCANTYPE ORDER BY TYPEORDER"))) {
            PassOver("scan profile names", query);
            return names;
        }
        for (; !query.Eof(); query.Next())
            names << query.FieldByName(QStringLiteral("TYPENAME")).toString().trimmed();
        return names;
    });
}

std::optional<ScanProfile> ScanProfiles::Find(const QString &name) const
{
    const QString key = name.trimmed();
    if (key.isEmpty())
        return std::nullopt;
    return arkavo::QuietlyOr("scan profile find", std::optional<ScanProfile>(), [&] {
        std::optional<ScanProfile> found;
        TCatalogQuery query(m_connection);
        // TYPENAME compares without regard to letter case, as the key of the table does.
        if (!query.Open(QStringLiteral("Select * from SCANTYPE WHERE TYPENAME=:name"), ByName(key))) {
            PassOver("scan profile find", query);
            return found;
        }
        if (query.Eof())
            return found;
        ScanProfile p;
        p.deskew = OptionOn(query.FieldByName(QStringLiteral("DESKEW")));
        p.autoCrop = OptionOn(query.FieldByName(QStringLiteral("AUTOCROP")));
        p.cropBlackBox = OptionOn(query.FieldByName(QStringLiteral("CROPBLACKBOX")));
        p.inverse = OptionOn(query.FieldByName(QStringLiteral("INVERSE")));
        p.rotate = RotateItem(query.FieldByName(QStringLiteral("ROTATE")));
        p.cutMode = CutMode(query.FieldByName(QStringLiteral("CUTMODE")));
        found = p;
        return found;
    });
}

void ScanProfiles::Save(const QString &name, const ScanProfile &profile)
{
    const QString key = name.trimmed();
    if (key.isEmpty() || !m_connection)
        return;
    arkavo::Quietly("scan profile save", [&] {
        // Removing the old row, moving the others down and writing the new row happen together:
        // a row that cannot be written leaves the old profile and the order as they were.
        m_connection->RunInTransaction([&] {
            return arkavo::QuietlyOr("scan profile save", false, [&] {
                TCatalogQuery query(m_connection);
                query.setExpectsNoRecords(true);
                const bool cleared =
                    query.ExecSQL(QStringLiteral("Delete from SCANTYPE Where TYPENAME=:name"), ByName(key)) &&
                    query.ExecSQL(QStringLiteral("Update SCANTYPE Set TYPEORDER=TYPEORDER+1"));
                query.setExpectsNoRecords(false);
                const bool saved =
                    cleared && query.Open(QStringLiteral("Select * from SCANTYPE Where 1=0")) &&
                    query.AppendRecord({{QStringLiteral("TYPENAME"), key},
                                        {QStringLiteral("DESKEW"), OptionValue(profile.deskew)},
                                        {QStringLiteral("AUTOCROP"), OptionValue(profile.autoCrop)},
                                        {QStringLiteral("CROPBLACKBOX"), OptionValue(profile.cropBlackBox)},
                                        {QStringLiteral("INVERSE"), OptionValue(profile.inverse)},
                                        {QStringLiteral("ROTATE"), RotateText(profile.rotate)},
                                        {QStringLiteral("CUTMODE"), profile.cutMode},
                                        {QStringLiteral("TYPEORDER"), 1}});
                if (!saved)
                    PassOver("scan profile save", query);
                query.Close();
                return saved;
            });
        });
    });
}

void ScanProfiles::Delete(const QString &name)
{
    const QString key = name.trimmed();
    if (key.isEmpty())
        return;
    arkavo::Quietly("scan profile delete", [&] {
        TCatalogQuery query(m_connection);
        query.setExpectsNoRecords(true);
        if (!query.ExecSQL(QStringLiteral("Delete from SCANTYPE Where TYPENAME=:name"), ByName(key)))
            PassOver("scan profile delete", query);
    });
}
