#include "share/services/CredentialStore.h"

#include "platform/SystemLog.h"
#include "share/services/Base64.h"
#include "share/services/Crypto.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace services;

// The stored form of two passwords under the application's key, computed
// independently. If these change, every password users have stored is lost.
constexpr char kSecret[] = "secret";
constexpr char kSecretStored[] = "8lDM2JFZxDEhBjRaSx/bKg==";
constexpr char kSixteen[] = "sixteen-byte-pwd";
constexpr char kSixteenStored[] = "zWRJwUfjTv+ePnY+irEnOoY6VyPbZkvUl1gNtlEhIzk=";

const QByteArray kOtherKey("0123456789abcdef");

// Direct access to the file, as another program (or an older build of this
// one) would see it.
void rawExec(const QString& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << sql << ": " << message;
}

// Every row of a query, each value as its storage class and its raw bytes
// ("text:authtoken", "null").
std::vector<std::vector<std::string>> rawRows(const QString& path, const std::string& sql)
{
    std::vector<std::vector<std::string>> rows;
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql;
    while (st && sqlite3_step(st) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            static const char* const kClass[] = {"?", "integer", "real", "text", "blob", "null"};
            const int type = sqlite3_column_type(st, c);
            const auto* data = static_cast<const char*>(sqlite3_column_blob(st, c));
            row.push_back(std::string(kClass[type]) + ":"
                          + (data ? std::string(data, size_t(sqlite3_column_bytes(st, c))) : std::string()));
        }
        rows.push_back(row);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

// Schemas and every row of every table, in storage order.
std::vector<std::vector<std::string>> dump(const QString& path)
{
    std::vector<std::vector<std::string>> all = rawRows(path, "select name, sql from sqlite_master order by name");
    for (const std::vector<std::string>& table : std::vector(all)) {
        const std::string name = table[0].substr(table[0].find(':') + 1);
        for (auto& row : rawRows(path, "select rowid, * from " + name))
            all.push_back(row);
    }
    return all;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// "%@" replaced in turn by each value: how statements used to be made.
std::string formatted(std::string text, std::initializer_list<std::string> values)
{
    for (const std::string& value : values)
        text.replace(text.find("%@"), 2, value);
    return text;
}

class CredentialStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_oldSink = platform::setSystemLogSink([this](const std::string& line) { m_log.push_back(line); });
    }
    void TearDown() override { platform::setSystemLogSink(std::move(m_oldSink)); }

    QString path() const { return m_dir.filePath(QStringLiteral("upload.sqlite")); }

    // A store whose three checked tables exist.
    CredentialStore preparedStore(const QByteArray& key = CredentialStore::defaultKey())
    {
        CredentialStore store(path(), key);
        for (CredentialTable table : {CredentialTable::FacebookGraph, CredentialTable::Flickr, CredentialTable::Picasa})
            EXPECT_NE(store.checkDatabaseIsExist(table), TableCheck::Failed);
        return store;
    }

    bool logged(const std::string& line) const { return std::find(m_log.begin(), m_log.end(), line) != m_log.end(); }

    QTemporaryDir m_dir;
    std::vector<std::string> m_log;
    platform::SystemLogSink m_oldSink;
};

// One stored value, written and read back the way one service does it.
struct Channel {
    const char* name;
    const char* table;
    std::function<bool(CredentialStore&, const QString&)> write;
    std::function<QString(CredentialStore&)> read;
    const char* rawRead; // the stored text, for values stored in the clear
};

const std::vector<Channel>& channels()
{
    static const std::vector<Channel> all = {
        {"facebook token", "facebookgraph",
         [](CredentialStore& s, const QString& v) { return s.storeFacebookData(kAuthTokenKey, v); },
         [](CredentialStore& s) { return s.getFacebookDataFromDatabase(kAuthTokenKey); },
         "select object from facebookgraph where key = 'authtoken'"},
        {"flickr token", "flickr",
         [](CredentialStore& s, const QString& v) { return s.createOrUpdateFlickrDatabase(kAuthTokenKey, v); },
         [](CredentialStore& s) { return s.findAuthToken().value_or(QStringLiteral("<none>")); },
         "select object from flickr where key = 'authtoken'"},
        {"picasa id", "picasa",
         [](CredentialStore& s, const QString& v) { return s.createOrUpdatePicasaDatabase(kPicasaIdKey, v, false); },
         [](CredentialStore& s) { return s.getPicasaDataFromDatabase(kPicasaIdKey, false); },
         "select object from picasa where key = 'id'"},
        {"picasa password", "picasa",
         [](CredentialStore& s, const QString& v) { return s.createOrUpdatePicasaDatabase(kPicasaPassKey, v, true); },
         [](CredentialStore& s) { return s.getPicasaDataFromDatabase(kPicasaPassKey, true); }, nullptr},
        {"twitter user name", "uploadsite",
         [](CredentialStore& s, const QString& v) { return s.createOrUpdateTwitterDatabase(v, kSecret); },
         [](CredentialStore& s) { return s.getTwitterFromDatabase().value_or(TwitterLogin{}).userName; },
         "select key from uploadsite where site = 'twitter'"},
        {"twitter password", "uploadsite",
         [](CredentialStore& s, const QString& v) { return s.createOrUpdateTwitterDatabase(QStringLiteral("user"), v); },
         [](CredentialStore& s) { return s.getTwitterFromDatabase().value_or(TwitterLogin{}).password; }, nullptr},
        {"image host", "uploadsite",
         [](CredentialStore& s, const QString& v) {
             return s.createOrUpdateTwitterDatabase(QStringLiteral("user"), kSecret)
                    && s.socialUpdateFromDatabase(kThirdPartyKey, v);
         },
         [](CredentialStore& s) { return s.getSocialDataFromDatabase().value_or(QStringLiteral("<none>")); },
         "select secret from uploadsite where site = 'social'"},
    };
    return all;
}

TEST_F(CredentialStoreTest, FreshFileGetsEachTableOnceWithItsOwnSchema)
{
    struct Case {
        CredentialTable table;
        const char* name;
        const char* schema;
    };
    const Case cases[] = {
        {CredentialTable::FacebookGraph, "facebookgraph",
         "create table facebookgraph (key VARCHAR(50), object VARCHAR(150))"},
        {CredentialTable::Flickr, "flickr", "create table flickr (key VARCHAR(50), object VARCHAR(100))"},
        {CredentialTable::Picasa, "picasa", "create table picasa (key VARCHAR(50), object VARCHAR(150))"},
    };
    CredentialStore store(path());
    EXPECT_EQ(store.getFacebookDataFromDatabase(kAuthTokenKey), QString()); // fresh install: logged out
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(store.checkDatabaseIsExist(c.table), TableCheck::Created);
        EXPECT_EQ(store.checkDatabaseIsExist(c.table), TableCheck::Existed);
        const auto rows = rawRows(path(), std::string("select sql from sqlite_master where name = '") + c.name + "'");
        ASSERT_EQ(rows.size(), 1u);
        // SQLite keeps the text as given after its own "CREATE TABLE".
        EXPECT_EQ(rows[0][0], std::string("text:CREATE TABLE") + (c.schema + std::strlen("create table")));
    }
    EXPECT_EQ(rawRows(path(), "select name from sqlite_master").size(), 3u); // uploadsite waits for a tweet
}

TEST_F(CredentialStoreTest, ReadsTakeTheLastOrTheFirstOfDuplicateRowsAsEachServiceDoes)
{
    CredentialStore store = preparedStore();
    rawExec(path(), std::string("insert into flickr values ('authtoken', 'first');"
                                "insert into flickr values ('privacy', '2');"
                                "insert into flickr values ('authtoken', 'second');"
                                "insert into facebookgraph values ('authtoken', 'first');"
                                "insert into facebookgraph values ('authtoken', 'second');"
                                "insert into picasa values ('id', 'first');"
                                "insert into picasa values ('id', 'second');"
                                "CREATE TABLE uploadsite (site VARCHAR(30), key VARCHAR(100), secret VARCHAR(100));"
                                "insert into uploadsite values ('social', 'thirdparty', 'yfrog');"
                                "insert into uploadsite values ('social', 'thirdparty', 'mobypicture');")
                        + "insert into uploadsite values ('twitter', 'first', '" + kSecretStored + "');"
                        + "insert into uploadsite values ('twitter', 'second', '" + kSixteenStored + "');");

    EXPECT_EQ(store.findAuthToken(), QStringLiteral("second"));
    EXPECT_EQ(store.getFlickrStringFromDatabase(kAuthTokenKey), QStringLiteral("first"));
    EXPECT_EQ(store.getFlickrStringFromDatabase(kFlickrPrivacyKey), QStringLiteral("2"));
    EXPECT_EQ(store.getFlickrStringFromDatabase(QStringLiteral("missing")), std::nullopt);
    EXPECT_EQ(store.getFacebookDataFromDatabase(kAuthTokenKey), QStringLiteral("second"));
    EXPECT_EQ(store.getPicasaDataFromDatabase(kPicasaIdKey, false), QStringLiteral("second"));
    const std::optional<TwitterLogin> twitter = store.getTwitterFromDatabase();
    ASSERT_TRUE(twitter);
    EXPECT_EQ(twitter->userName, QStringLiteral("second"));
    EXPECT_EQ(twitter->password, QString::fromLatin1(kSixteen));
    EXPECT_EQ(store.getSocialDataFromDatabase(), QStringLiteral("mobypicture"));

    // A write replaces every row of its key.
    ASSERT_TRUE(store.createOrUpdateFlickrDatabase(kAuthTokenKey, QStringLiteral("third")));
    EXPECT_EQ(rawRows(path(), "select object from flickr where key = 'authtoken'"),
              (std::vector<std::vector<std::string>>{{"text:third"}}));
    EXPECT_EQ(store.getFlickrStringFromDatabase(kFlickrPrivacyKey), QStringLiteral("2"));
}

// Values that suit the old statement texts (plain ASCII, no quote) must be
// stored byte for byte as those statements stored them, so that files
// written by earlier builds and by this one read the same.
TEST_F(CredentialStoreTest, StoresPlainValuesExactlyAsTheFormattedStatementsDid)
{
    const QString reference = m_dir.filePath(QStringLiteral("reference.sqlite"));
    auto old = [&](const std::string& sql) { rawExec(reference, sql); };
    old("create table facebookgraph (key VARCHAR(50), object VARCHAR(150))");
    old("create table flickr (key VARCHAR(50), object VARCHAR(100))");
    old("create table picasa (key VARCHAR(50), object VARCHAR(150))");
    old(formatted("delete from facebookgraph where key = '%@'", {"authtoken"}));
    old(formatted("insert into facebookgraph values ('%@', '%@')", {"authtoken", "EAAB1234abcd"}));
    old(formatted("insert into flickr values ('%@', '%@')", {"authtoken", "72157-abcdef"}));
    old(formatted("insert into flickr values ('%@', '%@')", {"privacy", "-1"}));
    old(formatted("delete from flickr where key = '%@'", {"privacy"}));
    old(formatted("insert into flickr values ('%@', '%@')", {"privacy", "3"}));
    old(formatted("insert into flickr values ('%@', '%@')", {"note", ""}));
    old(formatted("insert into picasa values ('%@', '%@')", {"id", "someone@example.com"}));
    old(formatted("insert into picasa values ('%@', '%@')", {"pass", kSecretStored}));
    old("CREATE TABLE uploadsite (site VARCHAR(30), key VARCHAR(100), secret VARCHAR(100))");
    old(formatted("insert into uploadsite values ('twitter', '%@', '%@')", {"nimba_user", kSecretStored}));
    old("delete from uploadsite where site = 'twitter'");
    old(formatted("insert into uploadsite values ('twitter', '%@', '%@')", {"nimba_user", kSixteenStored}));
    old(formatted("insert into uploadsite values ('social', '%@', '%@')", {"thirdparty", "twitpic"}));
    old("delete from uploadsite where site = 'social'");
    old(formatted("insert into uploadsite values ('social', '%@', '%@')", {"thirdparty", "yfrog"}));

    CredentialStore store = preparedStore();
    ASSERT_TRUE(store.storeFacebookData(kAuthTokenKey, QStringLiteral("EAAB1234abcd")));
    ASSERT_TRUE(store.createOrUpdateFlickrDatabase(kAuthTokenKey, QStringLiteral("72157-abcdef")));
    ASSERT_TRUE(store.createOrUpdateFlickrDatabase(kFlickrPrivacyKey, QStringLiteral("-1")));
    ASSERT_TRUE(store.createOrUpdateFlickrDatabase(kFlickrPrivacyKey, QStringLiteral("3")));
    ASSERT_TRUE(store.createOrUpdateFlickrDatabase(QStringLiteral("note"), QString()));
    ASSERT_TRUE(store.createOrUpdatePicasaDatabase(kPicasaIdKey, QStringLiteral("someone@example.com"), false));
    ASSERT_TRUE(store.createOrUpdatePicasaDatabase(kPicasaPassKey, kSecret, true));
    ASSERT_TRUE(store.createOrUpdateTwitterDatabase(QStringLiteral("nimba_user"), kSecret));
    ASSERT_TRUE(store.createOrUpdateTwitterDatabase(QStringLiteral("nimba_user"), kSixteen));
    ASSERT_TRUE(store.socialUpdateFromDatabase(kThirdPartyKey, QStringLiteral("twitpic")));
    ASSERT_TRUE(store.socialUpdateFromDatabase(kThirdPartyKey, QStringLiteral("yfrog")));

    EXPECT_EQ(dump(path()), dump(reference));
}

// The faults of the formatted statements: a quote broke the statement, and
// a non-ASCII value was not stored at all.
TEST_F(CredentialStoreTest, QuotesAndNonAsciiValuesRoundTripAsUtf8)
{
    const QString values[] = {
        QStringLiteral("it's"),
        QStringLiteral("''"),
        QStringLiteral("'); delete from picasa; --"),
        QStringLiteral("José Müller"),
        QStringLiteral("Пароль密码🙂"),
        QStringLiteral("50% off_?"),
    };
    CredentialStore store = preparedStore();
    for (const Channel& channel : channels()) {
        for (const QString& value : values) {
            SCOPED_TRACE(std::string(channel.name) + ": " + value.toStdString());
            ASSERT_TRUE(channel.write(store, value));
            EXPECT_EQ(channel.read(store), value);
            if (channel.rawRead) {
                EXPECT_EQ(rawRows(path(), channel.rawRead),
                          (std::vector<std::vector<std::string>>{{"text:" + value.toStdString()}}));
            }
        }
    }
}

TEST_F(CredentialStoreTest, SixteenBytePasswordTakesTwoBlocks)
{
    CredentialStore store = preparedStore();
    ASSERT_TRUE(store.createOrUpdatePicasaDatabase(kPicasaPassKey, kSixteen, true));
    const auto rows = rawRows(path(), "select object from picasa where key = 'pass'");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], std::string("text:") + kSixteenStored); // 32 bytes, 44 characters
    EXPECT_EQ(rows[0][0].size(), 5u + 44u);
    EXPECT_EQ(store.getPicasaDataFromDatabase(kPicasaPassKey, true), QString::fromLatin1(kSixteen));
}

TEST_F(CredentialStoreTest, PasswordThatDoesNotDecryptReadsAsEmpty)
{
    {
        CredentialStore writer = preparedStore();
        ASSERT_TRUE(writer.createOrUpdatePicasaDatabase(kPicasaPassKey, kSecret, true));
        ASSERT_TRUE(writer.createOrUpdateTwitterDatabase(QStringLiteral("user"), kSixteen));
    }
    CredentialStore otherKey(path(), kOtherKey);
    EXPECT_EQ(otherKey.getPicasaDataFromDatabase(kPicasaPassKey, true), QString());
    const std::optional<TwitterLogin> twitter = otherKey.getTwitterFromDatabase();
    ASSERT_TRUE(twitter);
    EXPECT_EQ(twitter->userName, QStringLiteral("user")); // the name is kept, the password retyped
    EXPECT_EQ(twitter->password, QString());

    CredentialStore store(path());
    // Decrypts under the right key, but to bytes that are not UTF-8.
    const std::string notUtf8 =
        base64Encode(*aes128CbcEncryptZeroIv(QByteArray("\xff\xfe"), CredentialStore::defaultKey())).toStdString();
    const std::string damaged[] = {
        "not base64!",
        "",
        "8lDM2JFZxDEhBjRaSx/bKg", // padding cut off
        "8lDM2JFZxDEhBjRa",       // not a whole block
        "8lDM2JFZxDEhBjRaSx/bKh==",
        notUtf8,
    };
    for (const std::string& stored : damaged) {
        SCOPED_TRACE(stored);
        rawExec(path(), "update picasa set object = '" + stored + "' where key = 'pass'");
        EXPECT_EQ(store.getPicasaDataFromDatabase(kPicasaPassKey, true), QString());
        EXPECT_EQ(store.decryptPassword(QString::fromStdString(stored)), QString());
    }
}

// A key of the wrong size is refused rather than cut or filled in; nothing
// is written in the clear in its place.
TEST_F(CredentialStoreTest, UnusableKeyStoresNoPassword)
{
    CredentialStore store = preparedStore(QByteArray("fifteen-bytes!!"));
    EXPECT_FALSE(store.createOrUpdatePicasaDatabase(kPicasaPassKey, kSecret, true));
    EXPECT_FALSE(store.createOrUpdateTwitterDatabase(QStringLiteral("user"), kSecret));
    EXPECT_TRUE(rawRows(path(), "select * from picasa").empty());
    EXPECT_TRUE(store.createOrUpdatePicasaDatabase(kPicasaIdKey, QStringLiteral("someone"), false));
}

TEST_F(CredentialStoreTest, RetiredImageHostsReadAsTwitpic)
{
    struct Case {
        const char* stored;
        const char* read;
    };
    const Case cases[] = {
        {"img.ly", "twitpic"},  {"twitgoo", "twitpic"}, {"tweetphoto", "twitpic"},
        {"twitpic", "twitpic"}, {"yfrog", "yfrog"},     {"mobypicture", "mobypicture"},
        {"Img.ly", "Img.ly"},   {"", ""},
    };
    CredentialStore store(path());
    EXPECT_EQ(store.getSocialDataFromDatabase(), std::nullopt);
    ASSERT_TRUE(store.createOrUpdateTwitterDatabase(QStringLiteral("user"), kSecret));
    EXPECT_EQ(store.getSocialDataFromDatabase(), std::nullopt);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        ASSERT_TRUE(store.socialUpdateFromDatabase(kThirdPartyKey, QString::fromLatin1(c.stored)));
        EXPECT_EQ(store.getSocialDataFromDatabase(), QString::fromLatin1(c.read));
        EXPECT_EQ(rawRows(path(), "select secret from uploadsite where site = 'social'"),
                  (std::vector<std::vector<std::string>>{{std::string("text:") + c.stored}}));
    }
    rawExec(path(), "update uploadsite set secret = NULL where site = 'social'");
    EXPECT_EQ(store.getSocialDataFromDatabase(), QString());
}

TEST_F(CredentialStoreTest, TwitterTableComesWithTheFirstTwitterWrite)
{
    CredentialStore store(path());
    EXPECT_EQ(store.getTwitterFromDatabase(), std::nullopt);
    EXPECT_FALSE(store.socialUpdateFromDatabase(kThirdPartyKey, QStringLiteral("yfrog"))); // no table yet
    ASSERT_TRUE(store.createOrUpdateTwitterDatabase(QStringLiteral("user"), kSecret));
    ASSERT_TRUE(store.socialUpdateFromDatabase(kThirdPartyKey, QStringLiteral("yfrog")));
    EXPECT_EQ(store.getTwitterFromDatabase()->password, QString::fromLatin1(kSecret));

    // A table that holds a host row but no Twitter row takes a new Twitter
    // row without trying to create the table again.
    rawExec(path(), "delete from uploadsite where site = 'twitter'");
    m_log.clear();
    ASSERT_TRUE(store.createOrUpdateTwitterDatabase(QStringLiteral("other"), kSecret));
    EXPECT_FALSE(logged("Error Execute Query"));
    EXPECT_EQ(store.getTwitterFromDatabase()->userName, QStringLiteral("other"));
    EXPECT_EQ(store.getSocialDataFromDatabase(), QStringLiteral("yfrog"));

    rawExec(path(), "update uploadsite set secret = NULL where site = 'twitter'");
    EXPECT_EQ(store.getTwitterFromDatabase(), std::nullopt);
}

TEST_F(CredentialStoreTest, LogOutRemovesOnlyTheToken)
{
    CredentialStore store = preparedStore();
    ASSERT_TRUE(store.storeFacebookData(kAuthTokenKey, QStringLiteral("fb")));
    ASSERT_TRUE(store.createOrUpdateFlickrDatabase(kAuthTokenKey, QStringLiteral("fl")));
    ASSERT_TRUE(store.createOrUpdateFlickrDatabase(kFlickrPrivacyKey, QStringLiteral("1")));
    ASSERT_TRUE(store.logOutFacebook());
    ASSERT_TRUE(store.logOutFlickr());
    EXPECT_EQ(store.getFacebookDataFromDatabase(kAuthTokenKey), QString());
    EXPECT_EQ(store.findAuthToken(), std::nullopt);
    EXPECT_EQ(store.getFlickrStringFromDatabase(kFlickrPrivacyKey), QStringLiteral("1"));
}

// A replace whose insert fails keeps the row it was about to replace.
TEST_F(CredentialStoreTest, FailedReplaceKeepsTheOldValue)
{
    CredentialStore store = preparedStore();
    for (const Channel& channel : channels()) {
        SCOPED_TRACE(channel.name);
        ASSERT_TRUE(channel.write(store, QStringLiteral("old")));
        rawExec(path(), std::string("create trigger refuse before insert on ") + channel.table
                            + " begin select raise(abort, 'refused'); end");
        m_log.clear();
        EXPECT_FALSE(channel.write(store, QStringLiteral("new")));
        EXPECT_TRUE(logged("Error Execute Query"));
        EXPECT_EQ(channel.read(store), QStringLiteral("old"));
        rawExec(path(), "drop trigger refuse");
    }
}

// Every operation on a file it cannot use reports failure, and leaves the
// file as it was.
TEST_F(CredentialStoreTest, UnusableFileGivesFailureAndStaysUntouched)
{
    QByteArray garbage;
    for (int i = 0; i < 256; ++i)
        garbage.append("this is not a database ");
    const QString corrupt = m_dir.filePath(QStringLiteral("corrupt.sqlite"));
    {
        QFile file(corrupt);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(garbage);
    }
    const QString places[] = {
        corrupt,
        m_dir.filePath(QStringLiteral("no such folder/upload.sqlite")),
        m_dir.path(), // a folder, not a file
        QString(),
    };
    using Op = std::function<bool(CredentialStore&)>; // true: reported failure
    const std::vector<std::pair<const char*, Op>> ops = {
        {"check facebookgraph",
         [](CredentialStore& s) { return s.checkDatabaseIsExist(CredentialTable::FacebookGraph) == TableCheck::Failed; }},
        {"check flickr",
         [](CredentialStore& s) { return s.checkDatabaseIsExist(CredentialTable::Flickr) == TableCheck::Failed; }},
        {"check picasa",
         [](CredentialStore& s) { return s.checkDatabaseIsExist(CredentialTable::Picasa) == TableCheck::Failed; }},
        {"facebook read", [](CredentialStore& s) { return s.getFacebookDataFromDatabase(kAuthTokenKey).isEmpty(); }},
        {"facebook write", [](CredentialStore& s) { return !s.storeFacebookData(kAuthTokenKey, "t"); }},
        {"facebook log out", [](CredentialStore& s) { return !s.logOutFacebook(); }},
        {"flickr token", [](CredentialStore& s) { return !s.findAuthToken(); }},
        {"flickr read", [](CredentialStore& s) { return !s.getFlickrStringFromDatabase(kFlickrPrivacyKey); }},
        {"flickr write", [](CredentialStore& s) { return !s.createOrUpdateFlickrDatabase(kAuthTokenKey, "t"); }},
        {"flickr log out", [](CredentialStore& s) { return !s.logOutFlickr(); }},
        {"picasa write", [](CredentialStore& s) { return !s.createOrUpdatePicasaDatabase(kPicasaIdKey, "i", false); }},
        {"picasa password", [](CredentialStore& s) { return !s.createOrUpdatePicasaDatabase(kPicasaPassKey, "p", true); }},
        {"picasa read", [](CredentialStore& s) { return s.getPicasaDataFromDatabase(kPicasaPassKey, true).isEmpty(); }},
        {"twitter write", [](CredentialStore& s) { return !s.createOrUpdateTwitterDatabase("u", "p"); }},
        {"host write", [](CredentialStore& s) { return !s.socialUpdateFromDatabase(kThirdPartyKey, "yfrog"); }},
        {"twitter read", [](CredentialStore& s) { return !s.getTwitterFromDatabase(); }},
        {"host read", [](CredentialStore& s) { return !s.getSocialDataFromDatabase(); }},
    };
    for (const QString& place : places) {
        CredentialStore store(place);
        for (const auto& [name, op] : ops) {
            SCOPED_TRACE(place.toStdString() + ": " + name);
            EXPECT_TRUE(op(store));
        }
    }
    EXPECT_EQ(fileBytes(corrupt), garbage);
    EXPECT_TRUE(logged("Error Execute Query"));
    EXPECT_FALSE(QDir(m_dir.filePath(QStringLiteral("no such folder"))).exists());
}

TEST_F(CredentialStoreTest, LogNamesNoPasswordOrStoredValue)
{
    CredentialStore store = preparedStore();
    const QString password = QStringLiteral("hunter2-très");
    ASSERT_TRUE(store.createOrUpdatePicasaDatabase(kPicasaIdKey, QStringLiteral("someone@example.com"), false));
    ASSERT_TRUE(store.createOrUpdatePicasaDatabase(kPicasaPassKey, password, true));
    ASSERT_TRUE(store.createOrUpdateTwitterDatabase(QStringLiteral("tweeter"), password));
    ASSERT_TRUE(store.socialUpdateFromDatabase(kThirdPartyKey, QStringLiteral("yfrog")));
    EXPECT_EQ(store.getPicasaDataFromDatabase(kPicasaPassKey, true), password);
    EXPECT_EQ(store.getTwitterFromDatabase()->password, password);
    EXPECT_TRUE(logged("Query Execute success"));
    rawExec(path(), "create trigger refuse before insert on picasa begin select raise(abort, 'refused'); end");
    EXPECT_FALSE(store.createOrUpdatePicasaDatabase(kPicasaPassKey, password + "2", true));
    EXPECT_TRUE(logged("Error Execute Query"));

    const std::string secrets[] = {
        password.toStdString(),
        store.encryptPassword(password)->toStdString(),
        store.encryptPassword(password + "2")->toStdString(),
        "someone@example.com",
        "tweeter",
    };
    ASSERT_FALSE(m_log.empty());
    for (const std::string& line : m_log)
        for (const std::string& secret : secrets)
            EXPECT_EQ(line.find(secret), std::string::npos) << line;
}

} // namespace
