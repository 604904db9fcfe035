# A mascot stand-in for the Windows scenario tests: takes SSTP requests on 127.0.0.1:9801 (one by
# default, or as many as named third), answers each "SSTP/1.4 200 OK" and an empty line, and writes the
# bytes it received to the file named first, one request after another. Says "ready" on standard output
# once it listens and, when a count is named, then the Script line of each request as it comes (its own
# bytes, Shift_JIS); gives up after the seconds named second.
use strict;
use warnings;
use IO::Socket::INET;

my ($out, $seconds, $count) = @ARGV;
my $tell = defined $count;
$count //= 1;
my $server = IO::Socket::INET->new(LocalAddr => '127.0.0.1', LocalPort => 9801, Listen => 5, ReuseAddr => 1)
  or die "cannot listen on 127.0.0.1:9801: $!\n";
$| = 1;
print "ready\n";
local $SIG{ALRM} = sub { die "no request within $seconds s\n" };
alarm $seconds;
open(my $file, '>:raw', $out) or die "$out: $!\n";
for (1 .. $count) {
  my $client = $server->accept or die "accept: $!\n";
  binmode $client;
  my $request = '';
  # The request ends with its empty line and one more CR LF.
  while ($request !~ /\r\n\r\n\r\n\z/) {
    my $n = sysread($client, my $chunk, 4096);
    last if !$n;
    $request .= $chunk;
  }
  syswrite($client, "SSTP/1.4 200 OK\r\n\r\n");
  close $client;
  print $file $request;
  $file->flush;
  print "$1\n" if $tell && $request =~ /^(Script: [^\r]*)\r$/m;
}
close $file;
