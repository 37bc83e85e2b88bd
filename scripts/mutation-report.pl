#!/usr/bin/env perl
# Writes the Markdown report of a mutation check from its tab-separated results, as
# scripts/mutation-check.sh leaves them; run it again on a results file to redo the report.
#   mutation-report.pl --arch A --sources S --mode kill-sets|first-failure --note N PARSED TSV
# PARSED is the list as mutation-check.sh parses it (NUL-separated fields, six a mutation).
# In a kill-set run the report also says, for each test program (a GoogleTest program's tests
# together) and each other test (a script or a check), which mutations it kills and which of
# them nothing else kills, and which single tests alone kill a mutation.
use strict;
use warnings;
use Getopt::Long;
use POSIX qw(strftime);

my ($arch, $sources, $mode, $note) = ("x64", "", "first-failure", "");
GetOptions("arch=s" => \$arch, "sources=s" => \$sources, "mode=s" => \$mode, "note=s" => \$note)
    or die "usage: mutation-report.pl --arch A --sources S --mode M --note N PARSED TSV\n";
my ($parsed, $tsv) = @ARGV;
die "usage: mutation-report.pl --arch A --sources S --mode M --note N PARSED TSV\n" unless $tsv;

my %fault;
{
    local $/;
    open my $in, "<", $parsed or die "cannot read $parsed: $!\n";
    my @fields = split /\0/, <$in>;
    while (my ($id, undef, undef, undef, $text) = splice @fields, 0, 6) { $fault{$id} = $text; }
}

my @rows;
open my $in, "<", $tsv or die "cannot read $tsv: $!\n";
while (my $line = <$in>) {
    chomp $line;
    next if $line =~ /^#/ || $line =~ /^id\t/;
    my ($id, $file, $outcome, $seconds, $killers) = split /\t/, $line, -1;
    my @tests = grep { length } split /; /, $killers // "";
    push @rows, { id => $id, file => $file, outcome => $outcome, seconds => $seconds, tests => \@tests };
}

# A GoogleTest program's tests are named "program.Suite.Case"; every other test stands alone.
sub program_of { my $test = shift; $test =~ s/ \(timeout\)$//; return $test =~ /^([a-z0-9]+_[a-z0-9_]+)\./ ? $1 : $test; }
sub unique { my %seen; return grep { !$seen{$_}++ } @_; }

my %count = map { $_ => 0 } ("killed", "survived", "timed out", "invalid");
my $time = 0;
$count{$_->{outcome}}++, $time += $_->{seconds} for @rows;
my $valid = $count{killed} + $count{survived} + $count{"timed out"};

print "# Mutation check, $arch, ", strftime("%Y-%m-%d %H:%M UTC", gmtime), "\n\n";
print "Sources: $sources; $note. ",
    ($mode eq "kill-sets" ? "Every selected test ran against every mutation (kill sets)." :
        "Each mutation's run stopped at its first failing test."), "\n\n";
my $last = $mode eq "kill-sets" ? "killed by (test programs and tests, with the number of their failing tests)" : "first failing test";
print "| id | file | fault | outcome | s | $last |\n|---|---|---|---|---|---|\n";
for my $row (@rows) {
    my $by;
    if ($mode eq "kill-sets") {
        my %n;
        $n{program_of($_)}++ for @{$row->{tests}};
        $by = join ", ", map { $n{$_} > 1 || $_ =~ /^[a-z0-9]+_/ ? "$_ ($n{$_})" : $_ } unique(map { program_of($_) } @{$row->{tests}});
    } else {
        $by = $row->{tests}[0] // "";
    }
    (my $text = $fault{$row->{id}} // "") =~ s/\|/\\|/g;
    print "| $row->{id} | $row->{file} | $text | $row->{outcome} | $row->{seconds} | $by |\n";
}
printf "\nKilled %d of %d valid mutations; %d survived, %d timed out, %d invalid (did not build).\n",
    $count{killed}, $valid, $count{survived}, $count{"timed out"}, $count{invalid};
printf "Average time per mutation: %d s (build and tests).\n", @rows ? $time / @rows : 0;

print "\n## Survivors\n\n";
my @survivors = grep { $_->{outcome} eq "survived" } @rows;
print @survivors ? map { "- $_->{id} ($_->{file}): " . ($fault{$_->{id}} // "") . "\n" } @survivors : "none\n";

exit 0 unless $mode eq "kill-sets";

# Kill sets by program, and what each program or test alone catches.
my (%kills, %alone, %tests_of, %alone_test);
for my $row (grep { $_->{outcome} eq "killed" } @rows) {
    my @programs = unique(map { program_of($_) } @{$row->{tests}});
    for my $program (@programs) { push @{$kills{$program}}, $row->{id}; }
    push @{$alone{$programs[0]}}, $row->{id} if @programs == 1;
    $tests_of{program_of($_)}{$_} = 1 for @{$row->{tests}};
    push @{$alone_test{$row->{tests}[0]}}, $row->{id} if @{$row->{tests}} == 1;
}
print "\n## Kill sets by test program and script\n\n";
print "A mutation counts for a program when any of its tests fails; \"only this\" lists the mutations\n",
    "that no other program or script kills.\n\n";
print "| program or test | its tests that kill | kills | only this |\n|---|---|---|---|\n";
for my $program (sort { @{$kills{$b}} <=> @{$kills{$a}} || $a cmp $b } keys %kills) {
    my @only = @{$alone{$program} // []};
    printf "| %s | %d | %d | %s |\n", $program, scalar keys %{$tests_of{$program}}, scalar @{$kills{$program}},
        @only ? scalar(@only) . ": " . join(", ", @only) : "0";
}
print "\n## Tests that alone kill a mutation\n\n";
if (%alone_test) {
    print "| test | mutations no other test kills |\n|---|---|\n";
    print "| $_ | ", join(", ", @{$alone_test{$_}}), " |\n" for sort keys %alone_test;
} else {
    print "none\n";
}
