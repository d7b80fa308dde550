#include "store/database.h"

#include <firebird/Interface.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "store/literal_binding.h"

namespace mirvaly {

namespace {

using namespace Firebird;

IMaster* master() {
    static IMaster* m = fb_get_master_interface();
    return m;
}

// The engine's own text for a failed status vector, lines joined by "\n".
DatabaseError toError(IStatus* status) {
    char buf[4096];
    unsigned n = master()->getUtilInterface()->formatStatus(buf, sizeof buf, status);
    std::string text(buf, std::min<unsigned>(n, sizeof buf));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\0'))
        text.pop_back();
    return DatabaseError(text, static_cast<int>(isc_sqlcode(status->getErrors())));
}

// Runs `body`, turning the engine's exceptions into DatabaseError.
template <typename F>
auto guarded(F&& body) -> decltype(body()) {
    try {
        return body();
    } catch (const FbException& e) {
        throw toError(e.getStatus());
    }
}

// A status wrapper that throws FbException, with its status object owned.
class Status {
public:
    Status() : m_status(master()->getStatus()), m_wrapper(m_status) {}
    ~Status() { m_status->dispose(); }
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;
    ThrowStatusWrapper* operator->() { return &m_wrapper; }
    ThrowStatusWrapper* get() { return &m_wrapper; }

private:
    IStatus* m_status;
    ThrowStatusWrapper m_wrapper;
};

inline void drop(IReferenceCounted* p) {
    p->release();
}
inline void drop(IDisposable* p) {
    p->dispose();
}

// Releases a reference-counted interface when the scope ends; the normal
// path ends the object properly first (free, close, commit ...).
template <typename T>
class Ref {
public:
    explicit Ref(T* p = nullptr) : m_p(p) {}
    ~Ref() { reset(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    T* operator->() const { return m_p; }
    T* get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    void reset(T* p = nullptr) {
        if (m_p)
            drop(m_p);
        m_p = p;
    }
    T* detach() {
        T* p = m_p;
        m_p = nullptr;
        return p;
    }

private:
    T* m_p;
};

// Read committed, record versions, locks waited for a short while. After a
// DELETE the engine keeps a lock on the table for its garbage collection and
// gives it up only when another request asks for it; a request that does not
// wait never asks, so a DROP TABLE after a committed DELETE would always fail.
// A conflict between the program's own two transactions cannot resolve on
// the one thread, so the wait is bounded and then fails.
constexpr unsigned char kLockTimeoutSeconds = 3;
const unsigned char kTpb[] = {isc_tpb_version3,
                              isc_tpb_write,
                              isc_tpb_read_committed,
                              isc_tpb_rec_version,
                              isc_tpb_wait,
                              isc_tpb_lock_timeout,
                              1,
                              kLockTimeoutSeconds};

constexpr unsigned kMaxVarchar = 32765;
constexpr unsigned kMaxSegment = 65535;
constexpr short kNull = -1;
constexpr unsigned kCharsetNone = 0;  // CS_NONE: bytes as they are
constexpr size_t kMaxForms = 64;      // a reply uses a handful

// Whether the status vector holds `code` as one of its error codes.
bool holdsCode(const ISC_STATUS* v, ISC_STATUS code) {
    while (*v != isc_arg_end) {
        if (v[0] == isc_arg_gds && v[1] == code)
            return true;
        v += v[0] == isc_arg_cstring ? 3 : 2;
    }
    return false;
}

// The engine refusing to map a bound value to its parameter ("Dynamic SQL
// Error", SQL code -303), which happens before the statement starts. A
// trigger's own dynamic SQL failing (EXECUTE STATEMENT) reads the same at the
// top but carries the trigger's location: that statement ran, and its
// generators moved.
bool isMappingError(IStatus* status) {
    const ISC_STATUS* v = status->getErrors();
    return v[0] == isc_arg_gds && v[1] == isc_dsql_error && v[2] == isc_arg_gds &&
           v[3] == isc_sqlerr && v[4] == isc_arg_number && v[5] == -303 &&
           !holdsCode(v, isc_stack_trace);
}

bool isSelect(unsigned type) {
    return type == isc_info_sql_stmt_select || type == isc_info_sql_stmt_select_for_upd;
}

class FirebirdDatabase final : public Database {
public:
    FirebirdDatabase(std::string path, IAttachment* att, int dialect)
        : m_path(std::move(path)), m_att(att), m_dialect(dialect) {}

    ~FirebirdDatabase() override {
        try {
            close();
        } catch (...) {
            // Nothing to do in a destructor; close() has ended the attachment.
        }
    }

    const std::string& path() const override { return m_path; }

    bool inTransaction() const override { return m_tra != nullptr; }

    void startTransaction() override {
        requireOpen();
        if (m_tra)
            return;
        guarded([&] { m_tra = m_att->startTransaction(m_status.get(), sizeof kTpb, kTpb); });
    }

    // A commit also carries out definitions that dynamic SQL of the
    // transaction made (EXECUTE STATEMENT in a block or procedure); prepared
    // INSERT forms would hold their tables against them, so they go first.
    void commit() override {
        if (!m_tra)
            return;
        freeForms();
        guarded([&] { m_tra->commit(m_status.get()); });
        m_tra = nullptr;  // commit() releases the object
    }

    void commitRetaining() override {
        if (!m_tra)
            return;
        freeForms();
        guarded([&] { m_tra->commitRetaining(m_status.get()); });
    }

    void rollback() override {
        if (!m_tra)
            return;
        try {
            m_tra->rollback(m_status.get());
            m_tra = nullptr;
        } catch (const FbException& e) {
            // A failed rollback leaves nothing usable behind: drop the handle
            // (release of a live transaction rolls it back too).
            m_tra->release();
            m_tra = nullptr;
            throw toError(e.getStatus());
        }
    }

    int64_t execute(std::string_view sql, const std::vector<Value>& params) override {
        startTransaction();
        return guarded([&] { return run(m_tra, sql, params, nullptr); });
    }

    QueryResult query(std::string_view sql, const std::vector<Value>& params) override {
        startTransaction();
        QueryResult result;
        guarded([&] { run(m_tra, sql, params, &result); });
        return result;
    }

    void executeScriptData(std::string_view sql) override {
        std::optional<BoundStatement> bound = bindInsertLiterals(sql);
        if (!bound) {
            execute(sql, {});
            return;
        }
        startTransaction();
        guarded([&] {
            IStatement* stmt = preparedForm(bound->shape);
            if (!stmt) {  // the form does not prepare: the statement as written gives the error
                run(m_tra, sql, {}, nullptr);
                return;
            }
            try {
                Ref<IMessageMetadata> inMeta;
                std::vector<unsigned char> inBuf;
                bindParameters(m_tra, stmt, bound->values, inMeta, inBuf);
                stmt->execute(m_status.get(), m_tra, inMeta.get(), inBuf.data(), nullptr, nullptr);
            } catch (const FbException& e) {
                // The engine could not map a bound value to its parameter
                // (a text that is no number, a number out of range ...):
                // that happens before the statement starts, so nothing ran.
                // The statement as written then decides, with its own
                // wording of the error.
                if (!isMappingError(e.getStatus()))
                    throw;
                run(m_tra, sql, {}, nullptr);
            }
        });
    }

    void executeDefinition(std::string_view sql) override {
        requireOpen();
        freeForms();
        guarded([&] {
            ITransaction* tra = m_att->startTransaction(m_status.get(), sizeof kTpb, kTpb);
            try {
                m_att->execute(m_status.get(), tra, static_cast<unsigned>(sql.size()), sql.data(),
                               m_dialect, nullptr, nullptr, nullptr, nullptr);
                tra->commit(m_status.get());
            } catch (...) {
                Status s;
                try {
                    tra->rollback(s.get());
                } catch (const FbException&) {
                    tra->release();
                }
                throw;
            }
        });
    }

    void setSqlDialect(int dialect) override {
        if (dialect != m_dialect)
            freeForms();  // they were prepared in the other dialect
        m_dialect = dialect;
    }
    int sqlDialect() const override { return m_dialect; }

    void close() override {
        if (!m_att)
            return;
        freeForms();
        std::optional<DatabaseError> failure;
        if (m_tra) {
            try {
                commit();
            } catch (const DatabaseError& e) {
                failure = e;
                try {
                    rollback();
                } catch (const DatabaseError&) {
                }
            }
        }
        try {
            m_att->detach(m_status.get());
            m_att = nullptr;
        } catch (const FbException& e) {
            m_att->release();
            m_att = nullptr;
            if (!failure)
                failure = toError(e.getStatus());
        }
        if (failure)
            throw *failure;
    }

    bool isOpen() const override { return m_att != nullptr; }

private:
    // The prepared statement of an INSERT form, prepared on first use; null
    // when the form does not prepare.
    IStatement* preparedForm(const std::string& shape) {
        auto it = m_forms.find(shape);
        if (it != m_forms.end())
            return it->second;
        if (m_forms.size() >= kMaxForms)
            freeForms();
        IStatement* stmt = nullptr;
        try {
            stmt = m_att->prepare(m_status.get(), m_tra, static_cast<unsigned>(shape.size()),
                                  shape.data(), m_dialect, IStatement::PREPARE_PREFETCH_METADATA);
            if (stmt->getType(m_status.get()) != isc_info_sql_stmt_insert) {
                freeStatement(stmt);
                return nullptr;
            }
        } catch (const FbException&) {
            if (stmt)
                stmt->release();
            return nullptr;
        }
        m_forms.emplace(shape, stmt);
        return stmt;
    }

    void freeStatement(IStatement* stmt) {
        Status s;
        try {
            stmt->free(s.get());
        } catch (const FbException&) {
            stmt->release();
        }
    }

    // Prepared statements hold their tables against definitions; let them go.
    void freeForms() {
        for (auto& [shape, stmt] : m_forms)
            freeStatement(stmt);
        m_forms.clear();
    }

    void requireOpen() const {
        if (!m_att)
            throw DatabaseError("The database is not open.");
    }

    // Prepares and runs one statement; rows go to `result` when given and
    // are fetched and dropped otherwise (a SELECT's side effects, such as
    // GEN_ID, happen as its rows are fetched).
    int64_t run(ITransaction* tra, std::string_view sql, const std::vector<Value>& params,
                QueryResult* result) {
        Ref<IStatement> stmt(m_att->prepare(m_status.get(), tra, static_cast<unsigned>(sql.size()),
                                            sql.data(), m_dialect,
                                            IStatement::PREPARE_PREFETCH_METADATA));
        unsigned type = stmt->getType(m_status.get());
        if (type == isc_info_sql_stmt_ddl)
            freeForms();
        if (type == isc_info_sql_stmt_commit || type == isc_info_sql_stmt_rollback ||
            type == isc_info_sql_stmt_start_trans) {
            stmt->free(m_status.get());
            stmt.detach();
            return transactionStatement(type);
        }

        Ref<IMessageMetadata> inMeta;
        std::vector<unsigned char> inBuf;
        bindParameters(tra, stmt.get(), params, inMeta, inBuf);

        Ref<IMessageMetadata> outMeta;
        std::vector<unsigned char> outBuf;
        Ref<IMessageMetadata> described(stmt->getOutputMetadata(m_status.get()));
        unsigned columns = described->getCount(m_status.get());
        if (columns > 0) {
            outMeta.reset(outputFormat(described.get()));
            outBuf.resize(outMeta->getMessageLength(m_status.get()));
            if (result)
                for (unsigned i = 0; i < columns; ++i)
                    result->columns.emplace_back(described->getAlias(m_status.get(), i));
        }

        int64_t changed = 0;
        if (isSelect(type)) {
            Ref<IResultSet> cursor(stmt->openCursor(m_status.get(), tra, inMeta.get(),
                                                    inBuf.empty() ? nullptr : inBuf.data(),
                                                    outMeta.get(), 0));
            while (cursor->fetchNext(m_status.get(), outBuf.data()) == IStatus::RESULT_OK)
                if (result)
                    result->rows.push_back(readRow(tra, outMeta.get(), outBuf));
            cursor->close(m_status.get());
            cursor.detach();
        } else {
            stmt->execute(m_status.get(), tra, inMeta.get(), inBuf.empty() ? nullptr : inBuf.data(),
                          outMeta.get(), outBuf.empty() ? nullptr : outBuf.data());
            changed = static_cast<int64_t>(stmt->getAffectedRecords(m_status.get()));
            if (result && columns > 0)  // EXECUTE PROCEDURE: one row of output
                result->rows.push_back(readRow(tra, outMeta.get(), outBuf));
        }
        stmt->free(m_status.get());
        stmt.detach();
        return changed;
    }

    int64_t transactionStatement(unsigned type) {
        if (type == isc_info_sql_stmt_commit)
            commit();
        else if (type == isc_info_sql_stmt_rollback)
            rollback();
        else
            throw DatabaseError(
                "SET TRANSACTION is not available: the store keeps one application transaction.");
        return 0;
    }

    // Builds the input message: the statement's own parameter format with
    // each type replaced by the one of the value given, so the engine does
    // the conversions (text to a number or date, a number to text ...).
    // BLOB parameters get a blob created from the value's bytes.
    void bindParameters(ITransaction* tra, IStatement* stmt, const std::vector<Value>& params,
                        Ref<IMessageMetadata>& meta, std::vector<unsigned char>& buf) {
        Ref<IMessageMetadata> described(stmt->getInputMetadata(m_status.get()));
        unsigned count = described->getCount(m_status.get());
        if (count != params.size())
            throw DatabaseError("The statement has " + std::to_string(count) + " parameters, " +
                                std::to_string(params.size()) + " given.");
        if (count == 0)
            return;
        Ref<IMetadataBuilder> builder(described->getBuilder(m_status.get()));
        std::vector<bool> asBlob(count);
        for (unsigned i = 0; i < count; ++i) {
            const Value& v = params[i];
            asBlob[i] = (described->getType(m_status.get(), i) == SQL_BLOB) && !v.isNull();
            if (asBlob[i] || v.isNull())
                continue;  // keep the described type
            switch (v.kind()) {
                case Value::Kind::Integer:
                    setField(builder.get(), i, SQL_INT64, sizeof(ISC_INT64));
                    break;
                case Value::Kind::Date:
                    if (v.timeOfDayMs() != 0)
                        setField(builder.get(), i, SQL_TIMESTAMP, sizeof(ISC_TIMESTAMP));
                    else
                        setField(builder.get(), i, SQL_TYPE_DATE, sizeof(ISC_DATE));
                    break;
                default: {
                    size_t n = v.asText().size();
                    if (n > kMaxVarchar)
                        throw DatabaseError("Parameter " + std::to_string(i + 1) +
                                            " is longer than " + std::to_string(kMaxVarchar) +
                                            " bytes.");
                    setField(builder.get(), i, SQL_VARYING, static_cast<unsigned>(n));
                    builder->setCharSet(m_status.get(), i, kCharsetNone);
                }
            }
        }
        meta.reset(builder->getMetadata(m_status.get()));
        buf.assign(meta->getMessageLength(m_status.get()), 0);
        for (unsigned i = 0; i < count; ++i) {
            unsigned char* field = buf.data() + meta->getOffset(m_status.get(), i);
            auto* nullFlag =
                reinterpret_cast<short*>(buf.data() + meta->getNullOffset(m_status.get(), i));
            const Value& v = params[i];
            *nullFlag = v.isNull() ? kNull : 0;
            if (v.isNull())
                continue;
            if (asBlob[i]) {
                ISC_QUAD id = writeBlob(tra, v.asText());
                std::memcpy(field, &id, sizeof id);
                continue;
            }
            writeField(field, v);
        }
    }

    void setField(IMetadataBuilder* b, unsigned i, unsigned type, unsigned length) {
        b->setType(m_status.get(), i, type);
        b->setLength(m_status.get(), i, length);
        b->setScale(m_status.get(), i, 0);
        b->setSubType(m_status.get(), i, 0);
    }

    void writeField(unsigned char* field, const Value& v) {
        IUtil* util = master()->getUtilInterface();
        switch (v.kind()) {
            case Value::Kind::Integer: {
                ISC_INT64 n = v.asInteger();
                std::memcpy(field, &n, sizeof n);
                break;
            }
            case Value::Kind::Date: {
                Date d = v.asDate();
                ISC_DATE date = util->encodeDate(d.year, d.month, d.day);
                if (v.timeOfDayMs() == 0) {
                    std::memcpy(field, &date, sizeof date);
                } else {
                    ISC_TIMESTAMP ts{date, static_cast<ISC_TIME>(v.timeOfDayMs()) * 10};
                    std::memcpy(field, &ts, sizeof ts);
                }
                break;
            }
            default: {
                std::string bytes = v.asText();
                auto len = static_cast<unsigned short>(bytes.size());
                std::memcpy(field, &len, sizeof len);
                std::memcpy(field + sizeof len, bytes.data(), bytes.size());
            }
        }
    }

    ISC_QUAD writeBlob(ITransaction* tra, const std::string& bytes) {
        ISC_QUAD id{};
        Ref<IBlob> blob(m_att->createBlob(m_status.get(), tra, &id, 0, nullptr));
        for (size_t pos = 0; pos < bytes.size(); pos += kMaxSegment) {
            size_t n = std::min<size_t>(kMaxSegment, bytes.size() - pos);
            blob->putSegment(m_status.get(), static_cast<unsigned>(n), bytes.data() + pos);
        }
        blob->close(m_status.get());
        blob.detach();
        return id;
    }

    std::string readBlob(ITransaction* tra, ISC_QUAD id) {
        Ref<IBlob> blob(m_att->openBlob(m_status.get(), tra, &id, 0, nullptr));
        std::string bytes;
        char chunk[kMaxSegment];
        for (;;) {
            unsigned got = 0;
            int rc = blob->getSegment(m_status.get(), sizeof chunk, chunk, &got);
            if (rc != IStatus::RESULT_OK && rc != IStatus::RESULT_SEGMENT)
                break;
            bytes.append(chunk, got);
        }
        blob->close(m_status.get());
        blob.detach();
        return bytes;
    }

    // The output format: integers without scale as BIGINT, text, blobs, dates
    // and timestamps as they are; everything else (scaled numerics, floats,
    // times, booleans) as text the engine writes.
    IMessageMetadata* outputFormat(IMessageMetadata* described) {
        Ref<IMetadataBuilder> builder(described->getBuilder(m_status.get()));
        unsigned count = described->getCount(m_status.get());
        for (unsigned i = 0; i < count; ++i) {
            unsigned type = described->getType(m_status.get(), i);
            int scale = described->getScale(m_status.get(), i);
            switch (type) {
                case SQL_TEXT:
                case SQL_VARYING:
                case SQL_BLOB:
                case SQL_TYPE_DATE:
                case SQL_TIMESTAMP:
                    break;
                case SQL_SHORT:
                case SQL_LONG:
                case SQL_INT64:
                    if (scale == 0) {
                        setField(builder.get(), i, SQL_INT64, sizeof(ISC_INT64));
                        break;
                    }
                    [[fallthrough]];
                default:
                    setField(builder.get(), i, SQL_VARYING, 64);
                    builder->setCharSet(m_status.get(), i, kCharsetNone);
            }
        }
        return builder->getMetadata(m_status.get());
    }

    Row readRow(ITransaction* tra, IMessageMetadata* meta, const std::vector<unsigned char>& buf) {
        unsigned count = meta->getCount(m_status.get());
        Row row;
        row.reserve(count);
        IUtil* util = master()->getUtilInterface();
        for (unsigned i = 0; i < count; ++i) {
            const unsigned char* field = buf.data() + meta->getOffset(m_status.get(), i);
            short nullFlag;
            std::memcpy(&nullFlag, buf.data() + meta->getNullOffset(m_status.get(), i),
                        sizeof nullFlag);
            if (nullFlag) {
                row.emplace_back();
                continue;
            }
            switch (meta->getType(m_status.get(), i)) {
                case SQL_INT64: {
                    ISC_INT64 n;
                    std::memcpy(&n, field, sizeof n);
                    row.push_back(Value::integer(n));
                    break;
                }
                case SQL_TEXT:
                    row.push_back(Value::text(std::string(reinterpret_cast<const char*>(field),
                                                          meta->getLength(m_status.get(), i))));
                    break;
                case SQL_VARYING: {
                    unsigned short len;
                    std::memcpy(&len, field, sizeof len);
                    row.push_back(Value::text(
                        std::string(reinterpret_cast<const char*>(field + sizeof len), len)));
                    break;
                }
                case SQL_BLOB: {
                    ISC_QUAD id;
                    std::memcpy(&id, field, sizeof id);
                    row.push_back(Value::blob(readBlob(tra, id)));
                    break;
                }
                case SQL_TYPE_DATE:
                case SQL_TIMESTAMP: {
                    ISC_DATE date;
                    std::memcpy(&date, field, sizeof date);
                    unsigned y, m, d;
                    util->decodeDate(date, &y, &m, &d);
                    int ms = 0;
                    if (meta->getType(m_status.get(), i) == SQL_TIMESTAMP) {
                        ISC_TIME t;
                        std::memcpy(&t, field + sizeof date, sizeof t);
                        ms = static_cast<int>(t / 10);
                    }
                    row.push_back(Value::timestamp(
                        Date{static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)}, ms));
                    break;
                }
                default:
                    row.emplace_back();
            }
        }
        return row;
    }

    std::string m_path;
    IAttachment* m_att;
    ITransaction* m_tra = nullptr;
    int m_dialect;
    std::unordered_map<std::string, IStatement*> m_forms;  // prepared INSERT forms
    Status m_status;
};

// The attachment's parameters: user, password, connection character set
// NONE (bytes pass unconverted) and the embedded engine only, so that an
// engine failure is reported as such and not as a failed network retry.
std::vector<unsigned char> makeDpb(const std::string& user, const std::string& password,
                                   const CreateOptions* create) {
    Status st;
    Ref<IXpbBuilder> dpb(
        master()->getUtilInterface()->getXpbBuilder(st.get(), IXpbBuilder::DPB, nullptr, 0));
    if (!user.empty())
        dpb->insertString(st.get(), isc_dpb_user_name, user.c_str());
    if (!password.empty())
        dpb->insertString(st.get(), isc_dpb_password, password.c_str());
    dpb->insertString(st.get(), isc_dpb_lc_ctype, "NONE");
    dpb->insertString(st.get(), isc_dpb_config, "Providers=Engine12");
    if (create) {
        dpb->insertInt(st.get(), isc_dpb_sql_dialect, create->sqlDialect);
        if (create->pageSize > 0)
            dpb->insertInt(st.get(), isc_dpb_page_size, create->pageSize);
        if (!create->defaultCharset.empty())
            dpb->insertString(st.get(), isc_dpb_set_db_charset, create->defaultCharset.c_str());
    }
    const unsigned char* p = dpb->getBuffer(st.get());
    return std::vector<unsigned char>(p, p + dpb->getBufferLength(st.get()));
}

}  // namespace

std::unique_ptr<Database> Database::open(const std::string& path, const std::string& user,
                                         const std::string& password) {
    return guarded([&]() -> std::unique_ptr<Database> {
        std::vector<unsigned char> dpb = makeDpb(user, password, nullptr);
        Status st;
        Ref<IProvider> provider(master()->getDispatcher());
        IAttachment* att = provider->attachDatabase(st.get(), path.c_str(),
                                                    static_cast<unsigned>(dpb.size()), dpb.data());
        return std::make_unique<FirebirdDatabase>(path, att, 3);
    });
}

std::unique_ptr<Database> Database::create(const std::string& path, const std::string& user,
                                           const std::string& password) {
    return create(path, user, password, CreateOptions{});
}

std::unique_ptr<Database> Database::create(const std::string& path, const std::string& user,
                                           const std::string& password,
                                           const CreateOptions& options) {
    return guarded([&]() -> std::unique_ptr<Database> {
        std::vector<unsigned char> dpb = makeDpb(user, password, &options);
        Status st;
        Ref<IProvider> provider(master()->getDispatcher());
        IAttachment* att = provider->createDatabase(st.get(), path.c_str(),
                                                    static_cast<unsigned>(dpb.size()), dpb.data());
        return std::make_unique<FirebirdDatabase>(path, att, options.sqlDialect);
    });
}

void shutdownDatabaseEngine() {
    fb_shutdown(0, fb_shutrsn_app_stopped);
}

}  // namespace mirvaly
