#!/usr/bin/env perl
# Writes the Markdown report of a mutation check from its tab-separated results, as
# scripts/mutation-check.sh leaves them (one file per architecture); run it again on the results
# files to redo the report.
#   mutation-report.pl --arch A [--arch B] --sources S --mode kill-sets|first-failure [--wall SECONDS]
#                      --note N PARSED TSV_A [TSV_B]
# PARSED is the list as mutation-check.sh parses it (NUL-separated fields, six a mutation); each
# TSV holds the rows of the --arch given in the same place. A TSV's columns are named by its
# "id" line: id, file, outcome, seconds, and failing_tests; where the run recorded them, build (the
# seconds until that architecture's tests could start), tests (how many tests the mutation
# reached) and unrepeated (tests that failed once and passed when run again).
# In a kill-set run the report also says, per architecture, for each test program (a GoogleTest
# program's tests together) and each other test (a script or a check), which mutations it kills
# and which of them nothing else kills, and which single tests alone kill a mutation.
use strict;
use warnings;
use Getopt::Long;
use POSIX qw(strftime);

my @arches;
my ($sources, $mode, $note, $wall) = ("", "first-failure", "", undef);
GetOptions("arch=s" => \@arches, "sources=s" => \$sources, "mode=s" => \$mode, "note=s" => \$note, "wall=i" => \$wall)
    or die "usage: mutation-report.pl --arch A [--arch B] --sources S --mode M [--wall S] --note N PARSED TSV...\n";
my ($parsed, @tsvs) = @ARGV;
@arches = ("x64") unless @arches;
die "usage: mutation-report.pl --arch A [--arch B] --sources S --mode M [--wall S] --note N PARSED TSV...\n"
    unless @tsvs && @tsvs == @arches;

my (%fault, @order);
{
    local $/;
    open my $in, "<", $parsed or die "cannot read $parsed: $!\n";
    my @fields = split /\0/, <$in>;
    while (my ($id, undef, undef, undef, $text) = splice @fields, 0, 6) { $fault{$id} = $text; push @order, $id; }
}

# %row{arch}{id}: outcome, seconds, build, tests (undef when not recorded), killers.
my (%row, %file, %seen);
for my $n (0 .. $#arches) {
    open my $in, "<", $tsvs[$n] or die "cannot read $tsvs[$n]: $!\n";
    my @columns;
    while (my $line = <$in>) {
        chomp $line;
        next if $line =~ /^#/;
        my @fields = split /\t/, $line, -1;
        if ($fields[0] eq "id") { @columns = @fields; next; }
        die "$tsvs[$n]: a row before the column names\n" unless @columns;
        my %r;
        @r{@columns} = @fields;
        $r{killers} = [grep { length } split /; /, $r{failing_tests} // ""];
        $row{$arches[$n]}{$r{id}} = \%r;
        $file{$r{id}} = $r{file};
        $seen{$r{id}} = 1;
    }
}
my @ids = grep { $seen{$_} } @order;
push @ids, sort grep { !exists $fault{$_} } keys %seen;

# A GoogleTest program's tests are named "program.Suite.Case"; every other test stands alone.
sub program_of { my $test = shift; $test =~ s/ \(timeout\)$//; return $test =~ /^([a-z0-9]+_[a-z0-9_]+)\./ ? $1 : $test; }
sub unique { my %seen; return grep { !$seen{$_}++ } @_; }
sub cell { my $text = shift; $text =~ s/\|/\\|/g; return $text; }
# What killed a mutation on one architecture: its first failing test, or its kill set by program.
sub killed_by {
    my $r = shift;
    return "" unless $r;
    my @tests = @{$r->{killers}};
    return $tests[0] // "" unless $mode eq "kill-sets" && $r->{outcome} ne "invalid" && !(@tests == 1 && $tests[0] =~ /^\(/);
    my %n;
    $n{program_of($_)}++ for @tests;
    return join ", ", map { $n{$_} > 1 || $_ =~ /^[a-z0-9]+_/ ? "$_ ($n{$_})" : $_ } unique(map { program_of($_) } @tests);
}

my $single = @arches == 1;
my $both = join " and ", @arches;
print "# Mutation check, $both, ", strftime("%Y-%m-%d %H:%M UTC", gmtime), "\n\n";
print "Sources: $sources; $note. ",
    ($mode eq "kill-sets" ? "Every reached test ran against every mutation (kill sets)." :
        "Each mutation's run stopped at its first failing test."), "\n";
if (defined $wall) {
    printf "Time of the mutations (both trees' builds and the suites, side by side): %d s (%d h %02d min).\n",
        $wall, $wall / 3600, ($wall % 3600) / 60;
}
print "\n";
my $last = $mode eq "kill-sets" ? "killed by (test programs and tests, with the number of their failing tests)" : "first failing test";
my $has_build = grep { defined $_->{build} } map { values %{$row{$_}} } @arches;
print "A row's seconds are ", ($has_build ? "the build's (until that architecture's tests could start) and its tests'" :
    "the build's and the tests' together"), "; its tests, how many tests the mutation reached there.\n\n";
print "| id | file | fault |", join("", map { " $_ | s | tests |" } @arches), " $last |\n";
print "|---|---|---|", "---|---|---|" x @arches, "---|\n";
for my $id (@ids) {
    my @cells;
    my %by;
    for my $arch (@arches) {
        my $r = $row{$arch}{$id};
        if (!$r) { push @cells, "", "", ""; next; }
        push @cells, $r->{outcome}, (defined $r->{build} ? "$r->{build}+$r->{seconds}" : $r->{seconds}), $r->{tests} // "";
        $by{$arch} = killed_by($r);
        $by{$arch} .= ($by{$arch} ? " " : "") . "(failed once, passed again: $r->{unrepeated})" if length($r->{unrepeated} // "");
    }
    my @distinct = unique(grep { length } values %by);
    my $by = @distinct <= 1 ? ($distinct[0] // "") : join "; ", map { "$_: $by{$_}" } grep { length $by{$_} } @arches;
    print "| $id | $file{$id} | ", cell($fault{$id} // ""), " |", join("", map { " $_ |" } @cells), " ", cell($by), " |\n";
}
print "\n";
for my $arch (@arches) {
    my %count = map { $_ => 0 } ("killed", "survived", "timed out", "invalid");
    my ($time, $unreached) = (0, 0);
    for my $r (values %{$row{$arch}}) {
        $count{$r->{outcome}}++;
        $time += $r->{seconds} + ($r->{build} // 0);
        $unreached++ if $r->{outcome} eq "survived" && defined $r->{tests} && $r->{tests} == 0;
    }
    my $valid = $count{killed} + $count{survived} + $count{"timed out"};
    printf "Killed %d of %d valid mutations on %s; %d survived%s, %d timed out, %d invalid (did not build).\n",
        $count{killed}, $valid, $arch, $count{survived}, ($unreached ? " ($unreached of them reached by no test)" : ""),
        $count{"timed out"}, $count{invalid};
    my $rows = keys %{$row{$arch}};
    printf "Average time per mutation on %s: %d s (build and tests).\n", $arch, $rows ? $time / $rows : 0;
}

print "\n## Survivors\n\n";
my @survivors = grep { my $id = $_; grep { ($row{$_}{$id}{outcome} // "") eq "survived" } @arches } @ids;
if (!@survivors) {
    print "none\n";
}
for my $id (@survivors) {
    my @where = map {
        my $r = $row{$_}{$id};
        !$r || $r->{outcome} ne "survived" ? () : "$_" . (defined $r->{tests} && $r->{tests} == 0 ? " (reached by no test)" : "")
    } @arches;
    print "- $id ($file{$id}): ", $fault{$id} // "", $single ? "" : "; survives on " . join(", ", @where), "\n";
}

exit 0 unless $mode eq "kill-sets";

# Kill sets by program, and what each program or test alone catches.
for my $arch (@arches) {
    my (%kills, %alone, %tests_of, %alone_test);
    for my $r (grep { $_->{outcome} eq "killed" } map { $row{$arch}{$_} // () } @ids) {
        my @programs = unique(map { program_of($_) } @{$r->{killers}});
        for my $program (@programs) { push @{$kills{$program}}, $r->{id}; }
        push @{$alone{$programs[0]}}, $r->{id} if @programs == 1;
        $tests_of{program_of($_)}{$_} = 1 for @{$r->{killers}};
        push @{$alone_test{$r->{killers}[0]}}, $r->{id} if @{$r->{killers}} == 1;
    }
    print "\n## Kill sets by test program and script, $arch\n\n";
    print "A mutation counts for a program when any of its tests fails; \"only this\" lists the mutations\n",
        "that no other program or script kills.\n\n";
    print "| program or test | its tests that kill | kills | only this |\n|---|---|---|---|\n";
    for my $program (sort { @{$kills{$b}} <=> @{$kills{$a}} || $a cmp $b } keys %kills) {
        my @only = @{$alone{$program} // []};
        printf "| %s | %d | %d | %s |\n", cell($program), scalar keys %{$tests_of{$program}}, scalar @{$kills{$program}},
            @only ? scalar(@only) . ": " . join(", ", @only) : "0";
    }
    print "\n## Tests that alone kill a mutation, $arch\n\n";
    if (%alone_test) {
        print "| test | mutations no other test kills |\n|---|---|\n";
        print "| ", cell($_), " | ", join(", ", @{$alone_test{$_}}), " |\n" for sort keys %alone_test;
    } else {
        print "none\n";
    }
}
