#!/usr/bin/perl
# timestamp-responder.pl CONFIG FOLDER: an RFC 3161 time-stamping authority on 127.0.0.1 for the
# signing tests. Prints its port, answers each HTTP POST of a query with OpenSSL's `ts -reply`
# under CONFIG (working in FOLDER), and ends by itself after 100 requests or 10 minutes.
use strict;
use warnings;
use IO::Socket::INET;

my ($config, $folder) = @ARGV;
my $server = IO::Socket::INET->new(LocalAddr => '127.0.0.1', LocalPort => 0, Listen => 5) or die "listen: $!\n";
$| = 1;
print $server->sockport, "\n";
alarm 600;
for (1 .. 100) {
    my $client = $server->accept or last;
    my ($length, $query, $reply) = (0, '', '');
    while (my $line = <$client>) { last if $line !~ /\S/; $length = $1 if $line =~ /^Content-Length:\s*(\d+)/i }
    binmode $client;
    read($client, $query, $length - length $query, length $query) || last while length $query < $length;
    open(my $file, '>:raw', "$folder/query.tsq") or die;
    print $file $query;
    close $file;
    system('openssl', 'ts', '-reply', '-config', $config, '-queryfile', "$folder/query.tsq", '-out', "$folder/reply.tsr") == 0
        && open($file, '<:raw', "$folder/reply.tsr") and $reply = do { local $/; <$file> };
    print $client $reply ? "HTTP/1.0 200 OK\r\nContent-Type: application/timestamp-reply\r\n" : "HTTP/1.0 500 Failed\r\n",
        "Content-Length: ", length $reply, "\r\n\r\n", $reply;
    close $client;
}
