#include "share/services/CredentialStore.h"

#include "platform/SystemLog.h"
#include "share/services/Base64.h"
#include "share/services/Crypto.h"

#include <QStringDecoder>

#include <sqlite3.h>

#include <initializer_list>
#include <utility>

namespace services {

namespace {

// 16 ASCII characters; changing it makes every stored password unreadable.
constexpr char kStoreKey[] = "NimbaLightStore!";
static_assert(sizeof kStoreKey - 1 == kAes128KeySize);

// How chatty each table's writes are in the system log. Statements are
// logged with their placeholders, never with the values bound to them.
struct TableInfo {
    const char* name;
    const char* createStatement;
    bool logStatement;
    bool logSuccess;
};

constexpr TableInfo kFacebookGraph{"facebookgraph",
                                   "create table facebookgraph (key VARCHAR(50), object VARCHAR(150))", false, false};
constexpr TableInfo kFlickr{"flickr", "create table flickr (key VARCHAR(50), object VARCHAR(100))", false, true};
constexpr TableInfo kPicasa{"picasa", "create table picasa (key VARCHAR(50), object VARCHAR(150))", true, true};
constexpr TableInfo kUploadSite{
    "uploadsite", "CREATE TABLE uploadsite (site VARCHAR(30), key VARCHAR(100), secret VARCHAR(100))", true, true};

const TableInfo& tableInfo(CredentialTable table)
{
    switch (table) {
    case CredentialTable::FacebookGraph:
        return kFacebookGraph;
    case CredentialTable::Flickr:
        return kFlickr;
    case CredentialTable::Picasa:
        break;
    }
    return kPicasa;
}

// One open file for the length of one operation.
class Connection {
public:
    explicit Connection(const QString& path)
    {
        // An empty name would make SQLite open a private temporary database,
        // and writes would vanish without an error.
        if (path.isEmpty())
            return;
        sqlite3* db = nullptr;
        const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                       nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_close(db); // a handle comes back even when opening fails
            return;
        }
        sqlite3_busy_timeout(db, 2000);
        m_db = db;
    }
    ~Connection() { sqlite3_close(m_db); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    explicit operator bool() const { return m_db != nullptr; }
    sqlite3* get() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

class Statement {
public:
    Statement(sqlite3* db, const char* text, std::initializer_list<QString> values)
    {
        if (sqlite3_prepare_v2(db, text, -1, &m_stmt, nullptr) != SQLITE_OK) {
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
            return;
        }
        int index = 1;
        for (const QString& value : values) {
            const QByteArray utf8 = value.toUtf8();
            // A null pointer would bind SQL NULL; an empty value is ''.
            const char* text = utf8.isEmpty() ? "" : utf8.constData();
            if (sqlite3_bind_text(m_stmt, index++, text, int(utf8.size()), SQLITE_TRANSIENT) != SQLITE_OK) {
                sqlite3_finalize(m_stmt);
                m_stmt = nullptr;
                return;
            }
        }
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    explicit operator bool() const { return m_stmt != nullptr; }

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_MISUSE; }

    // The column as text; nullopt for SQL NULL.
    std::optional<QString> text(int column) const
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        if (!p)
            return std::nullopt;
        return QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, column));
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

// Runs a read and hands every row to onRow. False when the statement cannot
// be prepared (no such table, not a database) or fails part way; the rows
// seen until then have been handed on.
template <typename OnRow>
bool select(sqlite3* db, const char* text, std::initializer_list<QString> values, OnRow&& onRow)
{
    Statement statement(db, text, values);
    if (!statement)
        return false;
    int rc;
    while ((rc = statement.step()) == SQLITE_ROW)
        onRow(statement);
    return rc == SQLITE_DONE;
}

// At least one row; a read that fails counts as none.
bool hasRow(sqlite3* db, const char* text, std::initializer_list<QString> values = {})
{
    bool found = false;
    select(db, text, values, [&](const Statement&) { found = true; });
    return found;
}

// One write statement, logged the way its table's service logs.
bool executeQuery(sqlite3* db, const TableInfo& table, const char* text, std::initializer_list<QString> values = {})
{
    if (table.logStatement)
        platform::systemLog("Query = %s", text);
    Statement statement(db, text, values);
    if (!statement || statement.step() != SQLITE_DONE) {
        platform::systemLog("Error Execute Query");
        return false;
    }
    if (table.logSuccess)
        platform::systemLog("Query Execute success");
    return true;
}

// The statements of one write, all or nothing: a replace whose insert fails
// keeps the old row.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : m_db(db)
    {
        m_open = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
        if (!m_open)
            platform::systemLog("Error Execute Query");
    }
    ~Transaction()
    {
        if (m_open)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    explicit operator bool() const { return m_open; }

    bool commit()
    {
        if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
            platform::systemLog("Error Execute Query");
            return false; // the destructor rolls back
        }
        m_open = false;
        return true;
    }

private:
    sqlite3* m_db;
    bool m_open = false;
};

// Opens the file for a write; logs like a failed statement when it cannot.
bool openForWrite(Connection& connection)
{
    if (connection)
        return true;
    platform::systemLog("Error Execute Query");
    return false;
}

// Existence query, then delete (only when a row was found) and insert, in
// one transaction. match binds the existence and delete statements (the
// key, or nothing where the statement names its row); row binds the insert.
bool replaceRows(const QString& path, const TableInfo& table, const char* existence, const char* deletion,
                 std::initializer_list<QString> match, const char* insertion, std::initializer_list<QString> row)
{
    Connection connection(path);
    if (!openForWrite(connection))
        return false;
    sqlite3* db = connection.get();
    Transaction transaction(db);
    if (!transaction)
        return false;
    if (hasRow(db, existence, match) && !executeQuery(db, table, deletion, match))
        return false;
    if (!executeQuery(db, table, insertion, row))
        return false;
    return transaction.commit();
}

bool deleteRows(const QString& path, const TableInfo& table, const char* deletion)
{
    Connection connection(path);
    return openForWrite(connection) && executeQuery(connection.get(), table, deletion);
}

} // namespace

QString currentImageHost(const QString& storedHost)
{
    if (storedHost == u"twitgoo" || storedHost == u"img.ly" || storedHost == u"tweetphoto")
        return QStringLiteral("twitpic");
    return storedHost;
}

QByteArray CredentialStore::defaultKey()
{
    return QByteArray(kStoreKey, kAes128KeySize);
}

CredentialStore::CredentialStore(QString databasePath, QByteArray key)
    : m_databasePath(std::move(databasePath)), m_key(std::move(key))
{
}

TableCheck CredentialStore::checkDatabaseIsExist(CredentialTable which)
{
    const TableInfo& table = tableInfo(which);
    Connection connection(m_databasePath);
    if (connection) {
        bool exists = false;
        select(connection.get(), "select * from sqlite_master", {}, [&](const Statement& row) {
            if (row.text(1) == QString::fromLatin1(table.name))
                exists = true;
        });
        if (exists)
            return TableCheck::Existed;
    }
    if (!openForWrite(connection))
        return TableCheck::Failed;
    return executeQuery(connection.get(), table, table.createStatement) ? TableCheck::Created : TableCheck::Failed;
}

// ---- facebookgraph

QString CredentialStore::getFacebookDataFromDatabase(const QString& key)
{
    Connection connection(m_databasePath);
    QString object;
    if (connection)
        select(connection.get(), "select object from facebookgraph where key = ?", {key},
               [&](const Statement& row) { object = row.text(0).value_or(QString()); });
    return object;
}

bool CredentialStore::storeFacebookData(const QString& key, const QString& value)
{
    Connection connection(m_databasePath);
    if (!openForWrite(connection))
        return false;
    sqlite3* db = connection.get();
    Transaction transaction(db);
    return transaction && executeQuery(db, kFacebookGraph, "delete from facebookgraph where key = ?", {key})
           && executeQuery(db, kFacebookGraph, "insert into facebookgraph values (?, ?)", {key, value})
           && transaction.commit();
}

bool CredentialStore::logOutFacebook()
{
    return deleteRows(m_databasePath, kFacebookGraph, "delete from facebookgraph where key = 'authtoken'");
}

// ---- flickr

std::optional<QString> CredentialStore::findAuthToken()
{
    Connection connection(m_databasePath);
    std::optional<QString> token;
    if (connection)
        select(connection.get(), "select * from flickr", {}, [&](const Statement& row) {
            if (row.text(0) == QString::fromLatin1(kAuthTokenKey))
                token = row.text(1);
        });
    return token;
}

std::optional<QString> CredentialStore::getFlickrStringFromDatabase(const QString& key)
{
    Connection connection(m_databasePath);
    std::optional<QString> object;
    bool found = false;
    if (connection)
        select(connection.get(), "select * from flickr", {}, [&](const Statement& row) {
            if (!found && row.text(0) == key) {
                found = true;
                object = row.text(1);
            }
        });
    return object;
}

bool CredentialStore::createOrUpdateFlickrDatabase(const QString& key, const QString& value)
{
    return replaceRows(m_databasePath, kFlickr, "select * from flickr where key = ?",
                       "delete from flickr where key = ?", {key}, "insert into flickr values (?, ?)", {key, value});
}

bool CredentialStore::logOutFlickr()
{
    return deleteRows(m_databasePath, kFlickr, "delete from flickr where key = 'authtoken'");
}

// ---- picasa

bool CredentialStore::createOrUpdatePicasaDatabase(const QString& key, const QString& value, bool encrypt)
{
    QString stored = value;
    if (encrypt) {
        std::optional<QString> encrypted = encryptPassword(value);
        if (!encrypted) {
            platform::systemLog("Error Encrypt Password");
            return false;
        }
        stored = *std::move(encrypted);
    }
    // Two blanks before "key": the statement as the service has always run it.
    return replaceRows(m_databasePath, kPicasa, "select key from picasa where key = ?",
                       "delete from picasa where  key = ?", {key}, "insert into picasa values (?, ?)", {key, stored});
}

QString CredentialStore::getPicasaDataFromDatabase(const QString& key, bool encrypted)
{
    Connection connection(m_databasePath);
    QString object;
    if (connection)
        select(connection.get(), "select object from picasa where key = ?", {key},
               [&](const Statement& row) { object = row.text(0).value_or(QString()); });
    return encrypted ? decryptPassword(object) : object;
}

// ---- uploadsite

bool CredentialStore::createOrUpdateTwitterDatabase(const QString& userName, const QString& password)
{
    const std::optional<QString> secret = encryptPassword(password);
    if (!secret) {
        platform::systemLog("Error Encrypt Password");
        return false;
    }
    Connection connection(m_databasePath);
    if (!openForWrite(connection))
        return false;
    sqlite3* db = connection.get();
    Transaction transaction(db);
    if (!transaction)
        return false;

    bool found = false;
    const bool tableReadable = select(db, "select secret from uploadsite where site = 'twitter'", {},
                                      [&](const Statement&) { found = true; });
    if (found) {
        if (!executeQuery(db, kUploadSite, "delete from uploadsite where site = 'twitter'"))
            return false;
    } else if (!tableReadable) {
        // The table is made by the first Twitter write. A table that is
        // there without a Twitter row needs no create (it would only fail).
        if (!executeQuery(db, kUploadSite, kUploadSite.createStatement))
            return false;
    }
    if (!executeQuery(db, kUploadSite, "insert into uploadsite values ('twitter', ?, ?)", {userName, *secret}))
        return false;
    return transaction.commit();
}

bool CredentialStore::socialUpdateFromDatabase(const QString& key, const QString& host)
{
    return replaceRows(m_databasePath, kUploadSite, "select secret from uploadsite where site = 'social'",
                       "delete from uploadsite where site = 'social'", {},
                       "insert into uploadsite values ('social', ?, ?)", {key, host});
}

std::optional<TwitterLogin> CredentialStore::getTwitterFromDatabase()
{
    Connection connection(m_databasePath);
    std::optional<QString> userName;
    std::optional<QString> secret;
    if (connection)
        select(connection.get(), "select key, secret from uploadsite where site = 'twitter'", {},
               [&](const Statement& row) {
                   userName = row.text(0);
                   secret = row.text(1);
               });
    if (!userName || !secret)
        return std::nullopt;
    return TwitterLogin{*userName, decryptPassword(*secret)};
}

std::optional<QString> CredentialStore::getSocialDataFromDatabase()
{
    Connection connection(m_databasePath);
    std::optional<QString> host;
    if (connection)
        select(connection.get(), "select * from uploadsite where site = 'social'", {}, [&](const Statement& row) {
            const std::optional<QString> secret = row.text(2);
            host = secret ? currentImageHost(*secret) : QString();
        });
    return host;
}

// ---- passwords

std::optional<QString> CredentialStore::encryptPassword(const QString& password) const
{
    const std::optional<QByteArray> cipher = aes128CbcEncryptZeroIv(password.toUtf8(), m_key);
    if (!cipher)
        return std::nullopt;
    return QString::fromLatin1(base64Encode(*cipher));
}

QString CredentialStore::decryptPassword(const QString& stored) const
{
    const std::optional<QByteArray> cipher = base64Decode(stored.toLatin1());
    if (!cipher || cipher->isEmpty())
        return {};
    const std::optional<QByteArray> plain = aes128CbcDecryptZeroIv(*cipher, m_key);
    if (!plain)
        return {};
    // Wrong-key garbage passes the padding check about once in 256 tries;
    // it is then almost never valid UTF-8, so that is checked too.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(*plain);
    if (decoder.hasError())
        return {};
    return text;
}

} // namespace services
