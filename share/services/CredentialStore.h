// The credential store: login tokens and stored passwords of the online
// services in one SQLite file ("upload.sqlite" in the documents folder; the
// caller passes the path).
//
// Tables (key/value, no primary key; every write deletes before it inserts,
// which keeps keys unique; all values are text):
//   facebookgraph (key, object)   "authtoken"
//   flickr        (key, object)   "authtoken", "privacy" ("0".."4" or "-1")
//   picasa        (key, object)   "id" plain, "pass" encrypted
//   uploadsite    (site, key, secret)
//                 site "twitter": user name, encrypted password
//                 site "social":  "thirdparty", the image host
//
// Encrypted values are AES-128-CBC with an all-zero iv and PKCS#7 padding
// of the UTF-8 bytes, keyed with the 16 bytes of the store key, stored as
// Base64 on one line.
//
// Every operation opens the file, runs its statements and closes it again;
// the object holds no connection, so it may be used from any one thread at
// a time. Values are bound as statement parameters: quotes and non-ASCII
// text are stored as they are, as UTF-8.
//
// Failures never throw and never touch other rows: an operation that cannot
// open the file or run a statement leaves the file as it was (the writes of
// one operation form one transaction) and reports it in its result. Writes
// log "Error Execute Query" to the system log on failure; passwords and
// stored values are never logged.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace services {

// Keys and values the services store.
inline constexpr char kAuthTokenKey[] = "authtoken";
inline constexpr char kFlickrPrivacyKey[] = "privacy";
inline constexpr char kPicasaIdKey[] = "id";
inline constexpr char kPicasaPassKey[] = "pass";
inline constexpr char kThirdPartyKey[] = "thirdparty";

// The tables a service view makes sure of when it is created (uploadsite is
// created by the first Twitter write instead).
enum class CredentialTable { FacebookGraph, Flickr, Picasa };

enum class TableCheck {
    Existed, // the table was there
    Created, // it was missing and has been created
    Failed,  // it was missing and could not be created (unwritable or not a database)
};

struct TwitterLogin {
    QString userName;
    QString password; // empty when the stored value does not decrypt
};

// Image hosts that have gone away read back as "twitpic": "twitgoo",
// "img.ly" and "tweetphoto". Any other name is returned unchanged.
QString currentImageHost(const QString& storedHost);

class CredentialStore {
public:
    // The application's store key: 16 ASCII characters, used as their bytes.
    // A store written with one key cannot be read with another.
    static QByteArray defaultKey();

    // key must be 16 bytes; with any other size every password write is
    // refused and every encrypted read gives an empty text.
    explicit CredentialStore(QString databasePath, QByteArray key = defaultKey());

    const QString& databasePath() const { return m_databasePath; }

    // Looks for the table in sqlite_master and creates it when missing.
    TableCheck checkDatabaseIsExist(CredentialTable table);

    // facebookgraph. The object of the last row with that key; empty when
    // there is none or the file cannot be read.
    QString getFacebookDataFromDatabase(const QString& key);
    // Deletes every row with the key, then inserts (key, value).
    bool storeFacebookData(const QString& key, const QString& value);
    // Removes the "authtoken" row(s).
    bool logOutFacebook();

    // flickr. The object of the last "authtoken" row; nullopt when none.
    std::optional<QString> findAuthToken();
    // The object of the first row with that key; nullopt when none.
    std::optional<QString> getFlickrStringFromDatabase(const QString& key);
    // Replaces the key's rows (delete + insert), or only inserts when there
    // were none. The table must exist (checkDatabaseIsExist).
    bool createOrUpdateFlickrDatabase(const QString& key, const QString& value);
    // Removes the "authtoken" row(s): log out, or the token was rejected.
    bool logOutFlickr();

    // picasa. As the Flickr replace; with encrypt the value is stored
    // encrypted (nothing is written when it cannot be encrypted).
    bool createOrUpdatePicasaDatabase(const QString& key, const QString& value, bool encrypt);
    // The object of the last row with that key, decrypted when encrypted is
    // set; empty when there is none or it does not decrypt.
    QString getPicasaDataFromDatabase(const QString& key, bool encrypted);

    // uploadsite. Replaces the Twitter row with the user name and the
    // encrypted password, creating the table on the first write.
    bool createOrUpdateTwitterDatabase(const QString& userName, const QString& password);
    // Replaces the host row ("social", key, host). Does not create the
    // table: it follows the Twitter write.
    bool socialUpdateFromDatabase(const QString& key, const QString& host);
    // The last Twitter row; nullopt when there is none or a value is missing.
    std::optional<TwitterLogin> getTwitterFromDatabase();
    // The host of the last "social" row, through currentImageHost; an empty
    // text for a row without a host; nullopt when there is no row.
    std::optional<QString> getSocialDataFromDatabase();

    // The stored form of a password (Base64 of the cipher text); nullopt
    // when the key is unusable.
    std::optional<QString> encryptPassword(const QString& password) const;
    // The password back from its stored form; empty when the text is not
    // Base64, does not decrypt under this key, or is not UTF-8.
    QString decryptPassword(const QString& stored) const;

private:
    QString m_databasePath;
    QByteArray m_key;
};

} // namespace services
