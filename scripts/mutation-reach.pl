#!/usr/bin/env perl
# Which tests of a build tree a mutation can reach, for scripts/mutation-check.sh. Derived from
# the tree itself, never from test names:
#   mutation-reach.pl uses TREE TESTS_JSON SELECTED >USES
#       the files each selected test uses: every absolute path in its command line and its
#       environment (a "-DNAME=a;b" argument names a and b); a path that is a target's artifact
#       stands for the artifacts of that target and of every target it depends on, linked or
#       named by add_dependencies (what a test program loads: its DLLs, the programs it starts),
#       as CMake's file API describes the tree. A directory stands for every file below it.
#       TESTS_JSON is "ctest --show-only=json-v1", SELECTED the names of the selected tests, one
#       a line. USES has one line a test, in CTest's order: its name, then its paths, by tabs.
#   mutation-reach.pl reached USES CHANGED [FIRST]
#       the tests of USES that use a file of CHANGED (absolute paths, one a line), in USES's
#       order, each as "first<TAB>name" when its name matches the regular expression FIRST and
#       "rest<TAB>name" otherwise.
use strict;
use warnings;
use JSON::PP;
use Cwd qw(abs_path);

sub slurp { my $path = shift; open my $in, "<", $path or die "cannot read $path: $!\n"; local $/; return <$in>; }

my $mode = shift // "";
if ($mode eq "uses") {
    my ($tree, $json, $selected) = @ARGV;
    die "usage: mutation-reach.pl uses TREE TESTS_JSON SELECTED\n" unless $selected;
    $tree = abs_path($tree);
    my %selected = map { chomp; ($_ => 1) } grep { /\S/ } split /^/, slurp($selected);

    # The targets: their artifacts and direct dependencies, from the newest codemodel reply.
    my $reply = "$tree/.cmake/api/v1/reply";
    my ($index) = sort { $b cmp $a } glob "$reply/index-*.json";
    die "no CMake file API reply in $reply (configure with a codemodel-v2 query)\n" unless $index;
    my ($codemodel) = grep { $_->{kind} eq "codemodel" } @{decode_json(slurp($index))->{objects}};
    die "no codemodel in $index\n" unless $codemodel;
    my (%artifacts, %depends, %owner);
    for my $entry (@{decode_json(slurp("$reply/$codemodel->{jsonFile}"))->{configurations}[0]{targets}}) {
        my $target = decode_json(slurp("$reply/$entry->{jsonFile}"));
        my $id = $target->{id};
        $artifacts{$id} = [map { my $p = $_->{path}; $p =~ m{^/} ? $p : "$tree/$p" } @{$target->{artifacts} // []}];
        $depends{$id} = [map { $_->{id} } @{$target->{dependencies} // []}];
        $owner{$_} = $id for @{$artifacts{$id}};
    }
    my %closure;
    my $close;
    $close = sub {
        my $id = shift;
        return @{$closure{$id}} if $closure{$id};
        $closure{$id} = [];    # a cycle ends here
        my %files = map { ($_ => 1) } @{$artifacts{$id}}, map { $close->($_) } @{$depends{$id}};
        $closure{$id} = [sort keys %files];
        return @{$closure{$id}};
    };

    for my $test (@{decode_json(slurp($json))->{tests}}) {
        next unless $selected{$test->{name}};
        my @words = @{$test->{command} // []};
        for my $property (@{$test->{properties} // []}) {
            push @words, @{$property->{value}} if $property->{name} eq "ENVIRONMENT";
        }
        my %uses;
        for my $word (@words) {
            for my $path (grep { m{^/} } map { split /;/ } $word =~ /=/ ? (split /=/, $word, 2)[1] : $word) {
                $path =~ s{/+$}{};
                $uses{$_} = 1 for exists $owner{$path} ? $close->($owner{$path}) : ($path);
            }
        }
        print join("\t", $test->{name}, sort keys %uses), "\n";
    }
} elsif ($mode eq "reached") {
    my ($uses, $changed, $first) = @ARGV;
    die "usage: mutation-reach.pl reached USES CHANGED [FIRST]\n" unless $changed;
    my @changed = grep { length } map { s/\s+$//r } split /^/, slurp($changed);
    for my $line (split /^/, slurp($uses)) {
        chomp $line;
        my ($name, @paths) = split /\t/, $line;
        my $reached = 0;
        for my $path (@paths) {
            last if $reached = grep { $_ eq $path || index($_, "$path/") == 0 } @changed;
        }
        next unless $reached;
        print +(defined $first && length $first && $name =~ /$first/ ? "first" : "rest"), "\t$name\n";
    }
} else {
    die "usage: mutation-reach.pl uses TREE TESTS_JSON SELECTED | reached USES CHANGED [FIRST]\n";
}
