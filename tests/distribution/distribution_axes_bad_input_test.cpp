// Bad input to the two- and three-dimensional distributions, through the host: a domain link left
// empty, domains whose sections cannot carry their method's equations, a method name the
// distribution does not know, derivative orders out of range and integral selectors it does not
// know. Each gives a clear error and a negative SetUpEquations result, or the equations of the
// input it stands for; none crashes, and no array of the distribution is left holding an element
// outside its sets.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "distribution_engine.h"
#include "real_domains.h"

namespace morvane::eqn::testing {
namespace {

AxesSetup axesOf(std::vector<RoadAxisSetup> axes, unsigned links = 7u) {
    AxesSetup setup{std::move(axes)};
    setup.links = links;
    return setup;
}

// What a distribution that cannot place its equations leaves: the host told why, and that its
// SetUpEquations failed; nothing of it declared or emitted; asked again, both equation phases
// answer `code` with nothing emitted.
void expectRefused(AxesRoad& road, int code, const std::vector<std::string>& fragments, const std::string& where) {
    EXPECT_FALSE(road.cycle()) << where;
    for (const std::string& fragment : fragments) EXPECT_TRUE(road.errorMentions(fragment)) << where << ": " << road.errors();
    EXPECT_TRUE(road.errorMentions("D: SetUpEquations failed with code " + std::to_string(code))) << where << ": " << road.errors();
    for (const TQ_DeclaredEquation& e : road.host.Declared()) EXPECT_NE(e.owner, road.distribution) << where;
    EXPECT_TRUE(road.emittedBy(road.distribution).empty()) << where;
    EXPECT_EQ(elementsOutsideTheirSets(road.host, road.distribution), std::vector<std::string>{}) << where;

    road.host.ClearErrors();
    EXPECT_EQ(road.distribution->SetUpEquations(), code) << where;
    // One report: of each empty link, or of the one fault of the grid.
    ASSERT_EQ(road.host.Errors().size(), code == kNoDomain ? fragments.size() : 1u) << where << ": " << road.errors();
    for (const std::string& fragment : fragments) EXPECT_TRUE(road.errorMentions(fragment)) << where << ": " << road.errors();
    int* rows = nullptr;
    int* cols = nullptr;
    road.host.BeginEmission(0, rows, cols);
    EXPECT_EQ(road.distribution->JacPattern(rows, cols, nullptr), code) << where;
    EXPECT_TRUE(road.emittedBy(road.distribution).empty()) << where;
    EXPECT_EQ(road.localNonZeroCount(), 0) << where;
}

TEST(DistributionAxesBadInput, AnEmptyDomainLinkIsNamed) {
    const struct {
        int axes;
        unsigned links;
    } cases[] = {{2, 2u}, {2, 1u}, {2, 0u}, {3, 6u}, {3, 5u}, {3, 3u}, {3, 0u}};
    static const char* const kLinks[] = {"XDOMAIN", "YDOMAIN", "ZDOMAIN"};
    for (const auto& c : cases) {
        const std::string where = std::to_string(c.axes) + " axes, links " + std::to_string(c.links);
        std::vector<RoadAxisSetup> axes(static_cast<std::size_t>(c.axes), smallAxis("CFD4", 2));
        AxesRoad road(axesOf(axes, c.links));
        // The equation phases name every empty link, in axis order.
        std::vector<std::string> named;
        for (int a = 0; a < c.axes; ++a)
            if ((c.links & (1u << a)) == 0)
                named.push_back(std::string("D: ") + kLinks[a] +
                                " has no domain attached; the distribution's equations cannot be placed");
        expectRefused(road, kNoDomain, named, where);
        // Once linked, the same objects run the whole cycle.
        std::string error;
        for (int a = 0; a < c.axes; ++a)
            if ((c.links & (1u << a)) == 0) {
                EXPECT_TRUE(road.link(a).Attach(road.domains[a], &error)) << error;
            }
        road.host.ClearErrors();
        EXPECT_TRUE(road.cycle()) << where << ": " << road.errors();
        EXPECT_FALSE(road.emittedBy(road.distribution).empty()) << where;
    }
}

TEST(DistributionAxesBadInput, SectionsThatCannotCarryTheMethodAreNamedWithTheirDomainAndLink) {
    const struct {
        int axes;
        int axis;  // the axis whose domain is at fault; the others are sound
        RoadAxisSetup bad;
        std::vector<std::pair<std::string, int>> fixes;
        std::vector<std::string> fragments;
    } cases[] = {
        // A second section of two intervals under rows that reach four.
        {2, 1, {"CFD4", {4, 2}, 2}, {}, {"method \"CFD4\" of the domain Y (YDOMAIN)", "shorter than the discretization method's stencil"}},
        {3, 2, {"UBFD4", {3}, 2}, {}, {"method \"UBFD4\" of the domain Z (ZDOMAIN)", "shorter than the discretization method's stencil"}},
        // Elements of two intervals under collocation rows that reach four.
        {3, 0, {"OCFE4", {4}, 2}, {{"X.NUMPOLYPOINTS", 1}}, {"of the domain X (XDOMAIN)", "shorter than the discretization method's stencil"}},
        // Sections beyond the domain's last node.
        {2, 0, {"BFD1", {4, 4}, 2}, {{"X.ENDNODE", 5}},
         {"section 2 of the domain X (XDOMAIN) covers the nodes 4 to 8, outside the domain's nodes 0 to 5"}},
        {3, 1, {"BFD2", {4, 4}, 2}, {{"Y.SECTION(2).BASE", 9}},
         {"section 2 of the domain Y (YDOMAIN) covers the nodes 9 to 13, outside the domain's nodes 0 to 8"}},
        {3, 2, {"BFD1", {4}, 2}, {{"Z.SECTION(1).BASE", -2}},
         {"section 1 of the domain Z (ZDOMAIN) covers the nodes -2 to 2, outside the domain's nodes 0 to 4"}},
        // Elements so long that no section holds one.
        {2, 0, {"OCFE3", {}, 2}, {{"X.NUMPOLYPOINTS", INT_MAX}}, {"of the domain X (XDOMAIN)", "shorter than the discretization method's stencil"}},
        // Sections that their elements do not fill.
        {2, 1, {"OCFE3", {4, 3}, 2}, {},
         {"section 1 of the domain Y (YDOMAIN) has 4 intervals but NUMELEMENTS 1 of 3 intervals each: the elements do not fill the section"}},
        {3, 2, {"CFD4", {5}, 2}, {}, {"section 1 of the domain Z (ZDOMAIN) has 5 intervals but NUMELEMENTS 1 of 4 intervals each"}},
        {3, 0, {"OCFE3", {9}, 2}, {{"X.SECTION(1).NUMELEMENTS", -3}},
         {"section 1 of the domain X (XDOMAIN) has 9 intervals but NUMELEMENTS -3 of 3 intervals each"}},
        {3, 1, {"OCFE2", {6}, 2}, {{"Y.SECTION(1).NUMELEMENTS", 2}},
         {"section 1 of the domain Y (YDOMAIN) has 6 intervals but NUMELEMENTS 2 of 2 intervals each"}},
    };
    for (const auto& c : cases) {
        const std::string where = std::to_string(c.axes) + " axes, " + c.bad.method + " on axis " + std::to_string(c.axis);
        std::vector<RoadAxisSetup> axes(static_cast<std::size_t>(c.axes), smallAxis("BFD2", 2));
        axes[static_cast<std::size_t>(c.axis)] = c.bad;
        AxesSetup setup = axesOf(axes);
        setup.fixes = c.fixes;
        AxesRoad road(setup);
        expectRefused(road, kGridTooShort, c.fragments, where);
    }
}

TEST(DistributionAxesBadInput, AnUnknownMethodGivesNoBlockAlongItsAxisAndNoError) {
    for (int axes : {2, 3}) {
        for (int unknown = 0; unknown < axes; ++unknown) {
            const std::string where = std::to_string(axes) + " axes, unknown along " + kDomainNames[unknown];
            std::vector<RoadAxisSetup> setups(static_cast<std::size_t>(axes), smallAxis("OCFE2", 2));
            setups[static_cast<std::size_t>(unknown)].method.clear();  // left to the domain
            AxesSetup setup = axesOf(setups);
            setup.integrals = {"idx", "idy", "idz"};
            AxesRoad road(setup);
            // The domain's method changes once the assignments are made, to a name no block has.
            ASSERT_TRUE(road.host.RunAssignments(TQ_Executive::CycleOptions())) << where << ": " << road.errors();
            road.domains[unknown]->DISCRETIZATIONMETHOD.SetCurrentValue("RK4");
            EXPECT_TRUE(road.host.RunSetDims()) << where;
            EXPECT_TRUE(road.host.RunSetUpEquations()) << where;
            EXPECT_TRUE(road.host.RunJacPattern()) << where;
            EXPECT_TRUE(road.host.Errors().empty()) << where << ": " << road.errors();
            std::string difference;
            EXPECT_TRUE(road.host.DeclaredMatchesEmitted(&difference)) << where << ": " << difference;
            EXPECT_EQ(elementsOutsideTheirSets(road.host, road.distribution), std::vector<std::string>{}) << where;
            // The other axes' blocks are there; no block runs along the unknown axis.
            std::vector<int> perAxis(static_cast<std::size_t>(axes), 0);
            for (const RoadEquation& e : road.equations()) {
                const int block = road.numbering().blockOf(e.row);
                if (block >= 0) ++perAxis[static_cast<std::size_t>(block % axes)];
            }
            for (int a = 0; a < axes; ++a) EXPECT_EQ(perAxis[static_cast<std::size_t>(a)] == 0, a == unknown) << where << ", axis " << a;
        }
    }
}

// The equations of a road, with every value fixed as given.
std::vector<std::string> streamOf(const AxesSetup& setup, const std::string& where) {
    AxesRoad road(setup);
    EXPECT_TRUE(road.cycle()) << where << ": " << road.errors();
    EXPECT_TRUE(road.host.Errors().empty()) << where << ": " << road.errors();
    std::string difference;
    EXPECT_TRUE(road.host.DeclaredMatchesEmitted(&difference)) << where << ": " << difference;
    EXPECT_EQ(elementsOutsideTheirSets(road.host, road.distribution), std::vector<std::string>{}) << where;
    return road.stream();
}

TEST(DistributionAxesBadInput, OrdersOutOfRangeGiveTheEquationsOfTheOrderTheyStandFor) {
    // An order is fixed on the model ("HO", "USED") or on the domain ("DOMAIN") of one axis; the
    // equations are those of the in-range inputs beside it. (The collocation junction equations
    // stand only where the model's own order is 2.)
    const struct {
        const char* what;
        int value;
        int domainOrder;        // of the reference's domain
        int order, used;        // fixed on the reference's model; -1: left to the assignments
    } cases[] = {
        {"HO", 3, 1, 1, 2},          {"HO", INT_MAX, 1, 1, 2},      {"HO", -1, 1, 1, 0},     {"HO", INT_MIN, 1, 1, 0},
        {"USED", 3, 1, -1, 2},       {"USED", INT_MAX, 1, -1, 2},   {"USED", -7, 1, -1, 0},  {"USED", INT_MIN, 1, -1, 0},
        {"DOMAIN", 3, 2, 1, 2},      {"DOMAIN", INT_MAX, 2, 1, 2},  {"DOMAIN", -1, 1, 1, 0}, {"DOMAIN", INT_MIN, 1, 1, 0},
    };
    for (int axes : {2, 3}) {
        for (int axis = 0; axis < axes; ++axis) {
            // Collocation of two elements along the axis under test; first-order domains.
            std::vector<RoadAxisSetup> base;
            for (int a = 0; a < axes; ++a) base.push_back({a == axis ? "OCFE3" : a % 2 ? "CFD4" : "BFD2", {}, 1});
            for (int a = 0; a < axes; ++a) base[static_cast<std::size_t>(a)].nodeCounts = smallSections(base[static_cast<std::size_t>(a)].method, 1);
            const std::string letter(1, "XYZ"[axis]);
            const std::string order = "D.HIGHESTORDER" + letter + "DERIVATIVE";
            const std::string used = order + "USED";
            const std::vector<std::string> unfixed = streamOf(axesOf(base), "in range");
            for (const auto& c : cases) {
                const std::string where = std::to_string(axes) + " axes, " + c.what + " " + std::to_string(c.value) + " along " + letter;
                AxesSetup bad = axesOf(base);
                if (std::string(c.what) == "DOMAIN") {
                    bad.axes[static_cast<std::size_t>(axis)].order = c.value;
                } else {
                    bad.fixes = {{std::string(c.what) == "HO" ? order : used, c.value}};
                }
                AxesSetup reference = axesOf(base);
                reference.axes[static_cast<std::size_t>(axis)].order = c.domainOrder;
                if (c.order >= 0) reference.fixes.push_back({order, c.order});
                reference.fixes.push_back({used, c.used});
                const std::vector<std::string> expected = streamOf(reference, where + " (its reference)");
                EXPECT_EQ(streamOf(bad, where), expected) << where;
                EXPECT_NE(expected, unfixed) << where << ": the reference is the unfixed road";
            }
        }
    }
}

TEST(DistributionAxesBadInput, UnknownIntegralSelectorsAreIgnored) {
    const std::string longSelector(300, 'i');
    const struct {
        int axes;
        std::vector<std::string> given;
        std::vector<std::string> known;  // empty: INTEGRALS left to its default
    } cases[] = {
        {2, {"idx", "idz", "bogus", ""}, {"idx"}},
        {2, {"idydz", longSelector}, {}},
        {3, {"idw", "idxdydzdw", "idydz"}, {"idydz"}},
        {3, {"None", "IDX?", "x"}, {}},
    };
    for (const auto& c : cases) {
        const std::string where = std::to_string(c.axes) + " axes, " + c.given.front();
        std::vector<RoadAxisSetup> axes(static_cast<std::size_t>(c.axes), smallAxis("OCFE2", 2));
        AxesSetup bad = axesOf(axes);
        bad.integrals = c.given;
        AxesSetup reference = axesOf(axes);
        reference.integrals = c.known;
        EXPECT_EQ(streamOf(bad, where), streamOf(reference, where + " (its reference)")) << where;
    }
}

}  // namespace
}  // namespace morvane::eqn::testing
