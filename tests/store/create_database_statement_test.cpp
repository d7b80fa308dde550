#include "store/create_database_statement.h"

#include <gtest/gtest.h>

namespace mirvaly {
namespace {

TEST(CreateDatabaseStatement, ReadsFileUserPasswordAndSettings) {
    CreateDatabaseStatement st;
    std::string error;
    ASSERT_TRUE(
        parseCreateDatabase("create database '/tmp/it''s.gdb' user 'SYSDBA' password \"winter\"\n"
                            "  PAGE_SIZE = 16384 DEFAULT CHARACTER SET WIN1251 COLLATION PXW_CYRL",
                            st, error))
        << error;
    EXPECT_EQ(st.path, "/tmp/it's.gdb");
    EXPECT_EQ(st.user, "SYSDBA");
    EXPECT_EQ(st.password, "winter");
    EXPECT_EQ(st.options.pageSize, 16384);
    EXPECT_EQ(st.options.defaultCharset, "WIN1251");
    EXPECT_EQ(st.collation, "PXW_CYRL");
}

TEST(CreateDatabaseStatement, ClausesAreOptional) {
    CreateDatabaseStatement st;
    std::string error;
    ASSERT_TRUE(
        parseCreateDatabase("CREATE SCHEMA \"x.gdb\" PAGE_SIZE 4096 LENGTH 10 PAGES", st, error))
        << error;
    EXPECT_EQ(st.path, "x.gdb");
    EXPECT_TRUE(st.user.empty());
    EXPECT_TRUE(st.password.empty());
    EXPECT_EQ(st.options.pageSize, 4096);
    EXPECT_TRUE(st.options.defaultCharset.empty());
}

TEST(CreateDatabaseStatement, RefusesWhatItCannotHonour) {
    for (const char* text : {
             "CREATE DATABASE x.gdb",                        // file name not quoted
             "CREATE DATABASE",                              // no file name
             "CREATE DATABASE 'x.gdb' USER",                 // clause broken off
             "CREATE DATABASE 'x.gdb' PAGE_SIZE big",        // not a number
             "CREATE DATABASE 'x.gdb' DIFFERENCE FILE 'y'",  // not supported
             "CREATE DATABASE 'x.gdb' USER 'A' , PASSWORD 'B'",
             "CREATE TABLE T (A INTEGER)",
         }) {
        CreateDatabaseStatement st;
        std::string error;
        EXPECT_FALSE(parseCreateDatabase(text, st, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

}  // namespace
}  // namespace mirvaly
