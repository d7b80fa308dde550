#include "store/schema.h"

#include "store/script_runner.h"

namespace mirvaly {

namespace {

std::string quoted(const std::string& text) {
    std::string q = "'";
    for (char c : text) {
        q += c;
        if (c == '\'')
            q += '\'';
    }
    return q + "'";
}

}  // namespace

std::vector<std::string> creationScript(const std::string& path) {
    return {
        "CREATE DATABASE " + quoted(path) + " USER 'SYSDBA' PASSWORD 'wintercap';",
        "CREATE GENERATOR GEN_P_ID;",
        "CREATE GENERATOR GEN_SOKR_ID;",
        "CREATE TABLE PROGRAM (",
        "    DATEKEY     INTEGER NOT NULL,",
        "    DATEPROG    DATE NOT NULL,",
        "    CHENELID    VARCHAR(100) NOT NULL,",
        "    VARIANT     VARCHAR(1) NOT NULL,",
        "    TEXT        BLOB SUB_TYPE 0 SEGMENT SIZE 80,",
        "    FILENAME    VARCHAR(255),",
        "    SUBVARIANT  VARCHAR(10),",
        "    KATEGORY    VARCHAR(30),",
        "    NUM         SMALLINT,",
        "    SHIFTTIME   SMALLINT,",
        "    STATUS      VARCHAR(20),",
        "    COUNTS      SMALLINT,",
        "    TYPES       VARCHAR(5)",
        ");",
        "CREATE TABLE P (",
        "    ID        INTEGER NOT NULL,",
        "    DATEKEY   INTEGER NOT NULL,",
        "    DATEPROG  DATE NOT NULL,",
        "    EFIRTIME  BLOB SUB_TYPE 0 SEGMENT SIZE 80 NOT NULL,",
        "    TEXT      BLOB SUB_TYPE 0 SEGMENT SIZE 80 NOT NULL,",
        "    TYPES     VARCHAR(50) NOT NULL,",
        "    NAME      BLOB SUB_TYPE 0 SEGMENT SIZE 80 NOT NULL,",
        "    ANONS     BLOB SUB_TYPE 0 SEGMENT SIZE 80 NOT NULL",
        ");",
        "CREATE TABLE REPL (",
        "    NAME  VARCHAR(20) NOT NULL,",
        "    TEXT  VARCHAR(250) DEFAULT NULL,",
        "    REPL  VARCHAR(250) DEFAULT NULL,",
        "    NUM   INTEGER DEFAULT NULL",
        ");",
        "CREATE TABLE SOKR (",
        "    ID         INTEGER NOT NULL,",
        "    FIND_TYPE  VARCHAR(100) NOT NULL,",
        "    SP_TYPE    VARCHAR(255) DEFAULT NULL,",
        "    PRIOR      INTEGER NOT NULL,",
        "    DEYSTVIE   VARCHAR(1) DEFAULT '0',",
        "    ZONE_FIND  VARCHAR(1)",
        ");",
        "ALTER TABLE P ADD CONSTRAINT PK_P PRIMARY KEY (ID);",
        "ALTER TABLE PROGRAM ADD PRIMARY KEY (DATEKEY);",
        "ALTER TABLE SOKR ADD CONSTRAINT PK_SOKR PRIMARY KEY (ID);",
        "ALTER TABLE P ADD CONSTRAINT FK_P_2 FOREIGN KEY (DATEKEY) REFERENCES PROGRAM (DATEKEY) "
        "ON DELETE CASCADE;",
        "CREATE INDEX P_IDX1 ON P (DATEKEY);",
        "SET TERM ^ ;",
        "CREATE TRIGGER P_BI FOR P ACTIVE BEFORE INSERT POSITION 0",
        "AS BEGIN IF (NEW.ID IS NULL) THEN NEW.ID = GEN_ID(GEN_P_ID,1); END^",
        "CREATE TRIGGER SOKR_BI FOR SOKR ACTIVE BEFORE INSERT POSITION 0",
        "AS BEGIN IF (NEW.ID IS NULL) THEN NEW.ID = GEN_ID(GEN_SOKR_ID,1); END^",
        "SET TERM ; ^",
        "COMMIT WORK;",
    };
}

std::unique_ptr<Database> createStore(const std::string& path) {
    std::unique_ptr<Database> db;
    ScriptRunner runner(db);
    ScriptOutcome outcome = runner.run(creationScript(path));
    if (outcome.end == ScriptOutcome::End::Rejected)
        throw DatabaseError(outcome.error);
    if (outcome.end != ScriptOutcome::End::Completed || !db)
        throw DatabaseError("The creation script stopped at line " +
                            std::to_string(outcome.stopLine) + ".");
    return db;
}

}  // namespace mirvaly
