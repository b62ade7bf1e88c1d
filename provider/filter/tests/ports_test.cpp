// The port rules: the protocol a connect's port falls under, the flag a blocked rule sets, and how
// a connection's data is inspected.
#include <gtest/gtest.h>

#include "filter_ports.h"

namespace {

using P = FilterProtocol;
using I = FilterInspection;

TEST(PortRules, EachPortHasItsProtocolInspectionAndTransferFlag) {
    struct Case {
        WORD port;
        P protocol;
        I inspection;
        WORD transfer;
    };
    const Case cases[] = {
        {21, P::FileTransfer, I::Other, FILTER_TRANSFER_ON},
        {23, P::Telnet, I::Other, FILTER_TRANSFER_ON},
        {25, P::Mail, I::MailSubmission, FILTER_TRANSFER_OFF},
        {53, P::None, I::NameQueries, FILTER_TRANSFER_ON},
        {80, P::Web, I::Web, FILTER_TRANSFER_ON},
        {110, P::Mail, I::MailRetrieval, FILTER_TRANSFER_OFF},
        {119, P::News, I::Other, FILTER_TRANSFER_ON},
        {143, P::Mail, I::Other, FILTER_TRANSFER_ON},
        {443, P::Secure, I::Never, FILTER_TRANSFER_ON},
        {6659, P::None, I::Other, FILTER_TRANSFER_ON},
        {6660, P::Chat, I::Other, FILTER_TRANSFER_ON},
        {6667, P::Chat, I::Other, FILTER_TRANSFER_ON},
        {6670, P::Chat, I::Other, FILTER_TRANSFER_ON},
        {6671, P::None, I::Other, FILTER_TRANSFER_ON},
        {7000, P::Chat, I::Other, FILTER_TRANSFER_ON},
        {8080, P::None, I::Other, FILTER_TRANSFER_ON},
        {0, P::None, I::Other, FILTER_TRANSFER_ON},
        {65535, P::None, I::Other, FILTER_TRANSFER_ON},
    };
    for (const Case& c : cases) {
        const FilterPortRule& rule = filter_port_rule(c.port);
        EXPECT_EQ(rule.protocol, c.protocol) << c.port;
        EXPECT_EQ(rule.inspection, c.inspection) << c.port;
        EXPECT_EQ(rule.transferAtConnect, c.transfer) << c.port;
    }
}

TEST(PortRules, OnlyTheSevenRulePortsSetABlockFlag) {
    struct Case {
        INT port;
        P protocol;
    };
    const Case cases[] = {
        {21, P::FileTransfer}, {23, P::Telnet}, {25, P::Mail}, {80, P::Web}, {119, P::News}, {443, P::Secure},
        {6667, P::Chat},       {110, P::None},  {143, P::None}, {6660, P::None}, {7000, P::None}, {22, P::None},
        {53, P::None},         {-1, P::None},   {65536 + 80, P::None},
    };
    for (const Case& c : cases) EXPECT_EQ(filter_rule_protocol(c.port), c.protocol) << c.port;
}

}  // namespace
