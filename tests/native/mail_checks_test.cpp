// The e-mail port's setting checks and its address book, as the wizard's
// e-mail pages, the configuration sheet and the body edit dialog use them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "mail/address_book.h"
#include "mail/mail_checks.h"

namespace {

bool ShiftJisLead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

TEST(MailChecks, RefusedCharactersAreFoundCharacterByCharacter)
{
    // "表" is 0x95 0x5C and "ポ" 0x83 0x7C in Shift_JIS: their trail bytes
    // are the codes of "\" and "|" but no characters of their own.
    const char name[] = "\x95\x5C\x83\x7C Printer";
    EXPECT_FALSE(HasRefusedChar(name, kSenderNameRefused, ShiftJisLead));
    EXPECT_TRUE(HasRefusedChar(name, kSenderNameRefused, nullptr)) << "bytes taken one by one";
    EXPECT_TRUE(HasRefusedChar("\x95\x5C\\", kSenderNameRefused, ShiftJisLead));
    EXPECT_FALSE(HasRefusedChar("\x95|", kSenderNameRefused, ShiftJisLead)) << "a double-byte pair";
    EXPECT_FALSE(HasRefusedChar("a\x95", kSenderNameRefused, ShiftJisLead)) << "a lead byte at the end";
}

TEST(MailChecks, AccountChecksGoInOrderAndNameTheirField)
{
    struct Case {
        const char *server, *name, *address;
        int field;
        const char* key;
        const char* argument;
    } cases[] = {
        {"", "x y", "a@b", MAIL_FIELD_SMTP_SERVER, "IDS_INVALID_SMTP", nullptr},
        {"mail host", "", "", MAIL_FIELD_SMTP_SERVER, "IDS_INVALID_CHARACTER", kSmtpServerRefused},
        {"mail", "", "a@b", MAIL_FIELD_FROM_NAME, "IDS_INVALID_FROM_NAME", nullptr},
        {"mail", "a:b", "a@b", MAIL_FIELD_FROM_NAME, "IDS_INVALID_CHARACTER", kSenderNameRefused},
        {"mail", "Print Desk", "", MAIL_FIELD_FROM_ADDR, "IDS_INVALID_FROM_ADDR", nullptr},
        {"mail", "Print Desk", "a b@c", MAIL_FIELD_FROM_ADDR, "IDS_INVALID_CHARACTER", kAddressRefused},
    };
    for (const Case& c : cases) {
        MailCheckFailure failure = {};
        EXPECT_FALSE(CheckMailAccount(c.server, c.name, c.address, ShiftJisLead, &failure)) << c.key;
        EXPECT_EQ(failure.field, c.field) << c.key;
        EXPECT_STREQ(failure.messageKey, c.key);
        EXPECT_EQ(failure.argument, c.argument) << c.key;
        EXPECT_EQ(failure.selectText, c.argument != nullptr) << c.key;
    }
    EXPECT_TRUE(CheckMailAccount("smtp.example.test", "Print Desk", "printer@example.test", ShiftJisLead, nullptr));

    MailCheckFailure failure = {};
    EXPECT_FALSE(CheckMailSubject("Re: report", ShiftJisLead, &failure));
    EXPECT_EQ(failure.argument, kSubjectRefused);
    EXPECT_TRUE(CheckMailSubject("\x83\x7C report", ShiftJisLead, nullptr));
}

TEST(MailChecks, APasswordThatScramblesToAZeroByteIsRefused)
{
    // The key's first byte is "q" (0x71): 0x8F + 0x71 wraps to 0.
    MailCheckFailure failure = {};
    EXPECT_FALSE(CheckAuthPassword("\x8F" "abc", &failure));
    EXPECT_STREQ(failure.messageKey, "IDS_INVALID_CHARACTER");
    EXPECT_TRUE(CheckAuthPassword("abc\x8F", nullptr)) << "at position 3 the key byte differs";
    EXPECT_TRUE(CheckAuthPassword("", nullptr));
}

// A list of `count` distinct addresses of `length` characters.
struct Addresses {
    std::vector<std::string> texts;
    std::vector<const char*> pointers;
    Addresses(size_t count, size_t length)
    {
        for (size_t i = 0; i < count; ++i) {
            std::string text = std::to_string(i) + "@";
            texts.push_back(text + std::string(length - text.size(), 'x'));
        }
        for (const std::string& text : texts)
            pointers.push_back(text.c_str());
    }
    RecipientList List() const { return RecipientList{pointers.data(), pointers.size()}; }
};

TEST(MailChecks, TheRecipientsFitTheFieldWithTheCommaAddedAtSendTime)
{
    // 99 addresses of 64 characters and 98 commas leave room for one more
    // of 64 - 1 characters with its comma, the trailing "," and the NUL.
    Addresses longest(99, 64);
    EXPECT_TRUE(RecipientFits(longest.List(), 63));
    EXPECT_FALSE(RecipientFits(longest.List(), 64)) << "100 x 64 + 99 commas + \",\" + NUL is 6501 bytes";
    MailCheckFailure failure = {};
    EXPECT_FALSE(CheckRecipientAdd(longest.List(), std::string(64, 'z').c_str(), ShiftJisLead, &failure));
    EXPECT_STREQ(failure.messageKey, "IDS_MAX_TO_ADDR_ERROR");

    Addresses hundred(100, 10);
    EXPECT_FALSE(RecipientFits(hundred.List(), 1)) << "at most 100";
    Addresses ninetyNine(99, 10);
    EXPECT_TRUE(CheckRecipientAdd(ninetyNine.List(), "new@x", ShiftJisLead, nullptr)) << "the 100th";

    // Whatever the list held, the join never overruns and keeps room for ",".
    char field[kToAddrFieldSize];
    ASSERT_TRUE(JoinRecipients(Addresses(99, 64).List(), field, sizeof field));
    EXPECT_EQ(strlen(field), 99 * 64 + 98u);
    Addresses tooLong(100, 64);
    EXPECT_FALSE(JoinRecipients(tooLong.List(), field, sizeof field));
    EXPECT_STREQ(field, "");
    const char* two[] = {"a@x", "B@y"};
    ASSERT_TRUE(JoinRecipients(RecipientList{two, 2}, field, sizeof field));
    EXPECT_STREQ(field, "a@x,B@y");
}

TEST(MailChecks, RecipientAddChecksInOrderAndDuplicatesByExactCase)
{
    const char* listed[] = {"Alice@example.test", "bob@example.test"};
    RecipientList list = {listed, 2};
    struct Case {
        const char* address;
        const char* key; // nullptr: accepted
    } cases[] = {
        {"", "IDS_INVALID_FROM_ADDR"},
        {"carol@example.test;", "IDS_INVALID_CHARACTER"},
        {"bob@example.test", "IDS_EMALREADYEXISTS"},
        {"alice@example.test", nullptr}, // differs in case only
        {"BOB@example.test", nullptr},
    };
    for (const Case& c : cases) {
        MailCheckFailure failure = {};
        bool accepted = CheckRecipientAdd(list, c.address, ShiftJisLead, &failure);
        EXPECT_EQ(accepted, c.key == nullptr) << c.address;
        if (c.key)
            EXPECT_STREQ(failure.messageKey, c.key) << c.address;
    }
    EXPECT_EQ(FindRecipient(list, "bob@example.test"), 1);
    EXPECT_EQ(FindRecipient(list, "alice@example.test"), -1);
}

TEST(MailChecks, CharCodeByTheSystemLanguage)
{
    EXPECT_EQ(DefaultCharCode(0x0411), 1);
    EXPECT_EQ(DefaultCharCode(0x0409), 0) << "United States English";
    EXPECT_EQ(DefaultCharCode(0x0804), 0);
    EXPECT_EQ(DefaultCharCode(0x0419), 0);
    size_t latin1 = 0;
    for (unsigned id = 0; id <= 0xFFFF; ++id)
        latin1 += DefaultCharCode(static_cast<uint16_t>(id)) == 2;
    EXPECT_EQ(latin1, 57u);
    for (uint16_t id : {0x0406, 0x0407, 0x1407, 0x0809, 0x3409, 0x040A, 0x500A, 0x040B, 0x180C, 0x040F, 0x0810,
                        0x0813, 0x0814, 0x0816, 0x081D, 0x042D, 0x0436})
        EXPECT_EQ(DefaultCharCode(id), 2) << std::hex << id;
}

// An address book held in a map; values named in `unusable` are present but
// cannot be read as an address (too long, another type).
struct FakeBook {
    std::map<std::string, std::string> values;
    std::vector<std::string> unusable;
    std::vector<std::string> writes;

    AddressBookStore Store()
    {
        return AddressBookStore{this, Read, Write};
    }
    static AddressReadResult Read(void* context, const char* name, char* value, size_t size)
    {
        FakeBook* book = static_cast<FakeBook*>(context);
        for (const std::string& bad : book->unusable)
            if (bad == name)
                return ADDRESS_PRESENT;
        auto found = book->values.find(name);
        if (found == book->values.end())
            return ADDRESS_MISSING;
        snprintf(value, size, "%s", found->second.c_str());
        return ADDRESS_FOUND;
    }
    static void Write(void* context, const char* name, const char* value)
    {
        FakeBook* book = static_cast<FakeBook*>(context);
        book->values[name] = value;
        book->writes.push_back(name);
    }
    void Fill(size_t count)
    {
        char name[kAddressValueNameSize];
        for (size_t i = 0; i < count; ++i) {
            AddressValueName(i, name, sizeof name);
            values[name] = "stored" + std::to_string(i) + "@example.test";
        }
    }
};

void AddToVector(void* context, const char* address)
{
    static_cast<std::vector<std::string>*>(context)->push_back(address);
}

TEST(AddressBook, AnUnusableValueCountsAsPresentOnlyAMissingOneEndsTheRead)
{
    FakeBook book;
    book.Fill(3);
    book.unusable = {"Address001"};
    std::vector<std::string> read;
    EXPECT_EQ(ReadAddressBook(book.Store(), AddToVector, &read), 3u);
    EXPECT_EQ(read, (std::vector<std::string>{"stored0@example.test", "stored2@example.test"}));

    // A save appends after all three instead of overwriting Address001 and
    // Address002; the address already held is not written again.
    const char* list[] = {"new@example.test", "stored2@example.test", "Stored0@example.test"};
    EXPECT_EQ(SaveAddressBook(book.Store(), RecipientList{list, 3}), 2u);
    EXPECT_EQ(book.writes, (std::vector<std::string>{"Address003", "Address004"}));
    EXPECT_EQ(book.values["Address004"], "Stored0@example.test") << "case counts";
}

TEST(AddressBook, OnceAHundredAreStoredNewOnesOverwriteFromTheFirst)
{
    FakeBook book;
    book.Fill(99);
    const char* list[] = {"a@x", "b@x", "c@x"};
    EXPECT_EQ(SaveAddressBook(book.Store(), RecipientList{list, 3}), 3u);
    EXPECT_EQ(book.writes, (std::vector<std::string>{"Address099", "Address000", "Address001"}));
    book.writes.clear();
    const char* more[] = {"d@x", "e@x"};
    SaveAddressBook(book.Store(), RecipientList{more, 2});
    EXPECT_EQ(book.writes, (std::vector<std::string>{"Address000", "Address001"})) << "the book reads 100 present";

    FakeBook empty;
    SaveAddressBook(empty.Store(), RecipientList{list, 1});
    EXPECT_EQ(empty.writes, std::vector<std::string>{"Address000"});
}

} // namespace
